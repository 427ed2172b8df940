# The probe plug-in family: one library per variant, all from probe.c. Included by the tools
# build (Windows DLLs) and by the plug-in tests of the native build (shared objects).
#
# zumbrel_probe_variants(<out-var>) creates the targets probe_<variant> and answers the list
# of variant names.

set(ZUMBREL_PROBE_SOURCE ${CMAKE_CURRENT_LIST_DIR}/probe.c)

# name, then the PROBE_* definitions that differ from the defaults of probe.c.
set(_zumbrel_probe_variants
  "default"
  "main_only|PROBE_EXPORT_VSTPLUGINMAIN=0"
  "no_entry|PROBE_EXPORT_VSTPLUGINMAIN=0|PROBE_EXPORT_MAIN=0"
  "bad_magic|PROBE_MAGIC=0x56737451"
  "null_effect|PROBE_RETURN_NULL=1"
  "programs0|PROBE_PROGRAMS=0"
  "programs128|PROBE_PROGRAMS=128"
  "programs100000|PROBE_PROGRAMS=100000"
  "named|PROBE_NAMED_PROGRAMS=1"
  "inputs0|PROBE_INPUTS=0"
  "inputs1|PROBE_INPUTS=1"
  "inputs5|PROBE_INPUTS=5"
  "outputs1|PROBE_OUTPUTS=1"
  "outputs4|PROBE_OUTPUTS=4"
  "outputs40|PROBE_OUTPUTS=40"
  "no_synth|PROBE_SYNTH=0"
  "no_replacing|PROBE_REPLACING=0"
  "no_editor|PROBE_EDITOR=0"
  "chunks|PROBE_CHUNKS=1"
  "tone|PROBE_TONE=1"
)

function(zumbrel_probe_variants out)
  set(names "")
  foreach(entry IN LISTS _zumbrel_probe_variants)
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 name)
    set(definitions ${entry})
    list(REMOVE_AT definitions 0)
    add_library(probe_${name} MODULE ${ZUMBREL_PROBE_SOURCE})
    set_target_properties(probe_${name} PROPERTIES PREFIX "" C_VISIBILITY_PRESET hidden)
    target_compile_definitions(probe_${name} PRIVATE ${definitions})
    # The probe exports a function named main, as older plug-ins do.
    target_compile_options(probe_${name} PRIVATE -Wno-main)
    if(WIN32)
      target_link_libraries(probe_${name} PRIVATE user32)
    endif()
    list(APPEND names ${name})
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()
