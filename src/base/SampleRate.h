#pragma once
// The sample rate every part assumes until it learns the real one: instruments are opened at
// it, a driver whose rate is out of range is set to it, and it is what plays when no rate is
// known at all.

constexpr double kDefaultSampleRate = 44100.0;
