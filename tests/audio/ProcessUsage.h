#pragma once
// What a process holds, measured in ways that also work under Wine (whose handle count and
// memory counters read 0).

#include <cstddef>
#include <cstdint>

// The value the next new handle gets. Handles take the lowest free slot, so this grows when
// handles leak and stays put when every handle is closed again.
std::uintptr_t nextHandleValue();
// Bytes in use in every heap of the process.
std::size_t heapBytesInUse();
// Committed private memory of the process (heaps, thread stacks, private mappings).
std::size_t committedPrivateBytes();
