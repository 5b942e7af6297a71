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
# An option keyword that starts another one is asked for trouble (a PPD
# reader or a grep on "*DefaultFeedDist" may take the wrong one); only the
# two pairs that queues of older versions store are let be.
string(REGEX MATCHALL "[A-Za-z0-9_]+ shares a common prefix with [A-Za-z0-9_]+" prefixes "${out}")
list(REMOVE_ITEM prefixes "FeedDist shares a common prefix with FeedDist_B" "Logo shares a common prefix with Logo_A")
if(prefixes)
  message(FATAL_ERROR "option keywords that start others: ${prefixes}")
endif()
