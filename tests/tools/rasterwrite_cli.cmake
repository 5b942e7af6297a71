# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Runs zelp-rasterwrite as a user would; TOOL and WORK come from the test.
file(MAKE_DIRECTORY ${WORK})

function(expect_failure)
  execute_process(COMMAND ${TOOL} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 1 OR NOT err MATCHES "^zelp-rasterwrite: ")
    message(FATAL_ERROR "'${ARGN}': expected exit 1 and a zelp-rasterwrite: message, got ${rc}: ${err}")
  endif()
endfunction()

function(expect_size bytes)
  file(REMOVE ${WORK}/out.ras)
  execute_process(COMMAND ${TOOL} ${ARGN} -o ${WORK}/out.ras RESULT_VARIABLE rc ERROR_VARIABLE err)
  file(SIZE ${WORK}/out.ras size)
  if(NOT rc EQUAL 0 OR NOT size EQUAL bytes)
    message(FATAL_ERROR "'${ARGN}': expected exit 0 and ${bytes} bytes, got ${rc} and ${size}: ${err}")
  endif()
endfunction()

expect_failure(--pattern plaid -o ${WORK}/x.ras)
expect_failure(--pattern checker --bpp 3 -o ${WORK}/x.ras)
expect_failure(--pattern checker)
expect_failure(--input ${WORK}/missing.png -o ${WORK}/x.ras)
expect_failure(--pattern checker --input ${WORK}/x.png -o ${WORK}/x.ras)
expect_failure(--pattern checker --width 8 --height 3 --truncate-last 25 -o ${WORK}/x.ras)
expect_failure(--width)

expect_size(1824 --pattern checker --width 8 --height 3)
expect_size(5464 --pattern noise --width 8 --height 3 --pages 3 --seed 9)
expect_size(1814 --pattern checker --width 8 --height 3 --truncate-last 10)
expect_size(3620 --pattern checker --width 8 --height 3 --zero-height-page)
expect_size(1803 --pattern checker --width 8 --height 3 --bpp 1)
expect_size(1830 --pattern checker --width 8 --height 3 --bytes-per-line 10)

# A picture saved by the tool loads back through --input at its own size.
execute_process(COMMAND ${TOOL} --pattern bars --width 8 --height 3 --picture-out ${WORK}/bars.pgm
                -o ${WORK}/x.ras RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "--picture-out failed")
endif()
expect_size(1848 --input ${WORK}/bars.pgm --bpp 16)
