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
