# add_present_subdirectories(<dir>...): adds each listed folder that has a CMakeLists.txt.
# The subsystems grow side by side; each owns its folders, and no shared list has to change
# when one of them appears.
function(add_present_subdirectories)
  foreach(dir IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
