# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# A test suite needs targets made elsewhere in the tree: a missing one stops
# the configure, so that a renamed target never quietly drops a suite.
function(zelp_require_targets suite)
  foreach(target IN LISTS ARGN)
    if(NOT TARGET ${target})
      message(FATAL_ERROR "${suite}: target ${target} is not defined")
    endif()
  endforeach()
endfunction()

# The path by which a test program starts one of our programs as a child.
# Natively the program itself; in a cross build a script that starts it
# under the emulator (qemu-user), since the kernel cannot run it directly.
#   zelp_runnable_path(VAR TARGET)
function(zelp_runnable_path var target)
  if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
    list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " emulator)
    set(script ${CMAKE_BINARY_DIR}/run/${target})
    file(GENERATE OUTPUT ${script}
         CONTENT "#!/bin/sh\nexec ${emulator} $<TARGET_FILE:${target}> \"$@\"\n"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(${var} ${script} PARENT_SCOPE)
  else()
    set(${var} $<TARGET_FILE:${target}> PARENT_SCOPE)
  endif()
endfunction()
