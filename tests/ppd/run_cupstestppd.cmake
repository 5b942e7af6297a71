# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# cupstestppd on one PPD file; any FAIL fails the test. CUPSTESTPPD and PPD
# come from the test's command line.
if(NOT CUPSTESTPPD)
  message(FATAL_ERROR "cupstestppd not found; on Debian: apt-get install cups-client")
endif()
if(NOT EXISTS "${PPD}")
  message(FATAL_ERROR "${PPD} does not exist; build the zelp_ppds target first")
endif()
execute_process(COMMAND ${CUPSTESTPPD} -I filters ${PPD}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}")
if(NOT rc EQUAL 0 OR out MATCHES "FAIL")
  message(FATAL_ERROR "cupstestppd failed (${rc}): ${err}")
endif()
