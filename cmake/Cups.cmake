# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# libcups and libcupsimage from the system (Debian: libcups2-dev, libcupsimage2-dev).
# Debian ships no pkg-config file for them, so cups-config and the plain
# library search are the way in.
find_program(CUPS_CONFIG cups-config REQUIRED)
find_path(CUPS_INCLUDE_DIR cups/raster.h REQUIRED)
find_library(CUPS_LIBRARY cups REQUIRED)
find_library(CUPSIMAGE_LIBRARY cupsimage REQUIRED)

add_library(Cups::cups INTERFACE IMPORTED)
target_include_directories(Cups::cups INTERFACE ${CUPS_INCLUDE_DIR})
target_link_libraries(Cups::cups INTERFACE ${CUPSIMAGE_LIBRARY} ${CUPS_LIBRARY})
# The PPD interface is deprecated in CUPS 2 but is what filters still use.
target_compile_definitions(Cups::cups INTERFACE _PPD_DEPRECATED=)
target_compile_options(Cups::cups INTERFACE -Wno-deprecated-declarations)

execute_process(COMMAND ${CUPS_CONFIG} --serverbin OUTPUT_VARIABLE CUPS_SERVERBIN OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CUPS_CONFIG} --datadir OUTPUT_VARIABLE CUPS_DATADIR OUTPUT_STRIP_TRAILING_WHITESPACE)

# Where CUPS looks for filters (filter/ below ServerBin) and drivers (model/
# below DataDir). By default the absolute folders that cups-config names, so
# an install lands where the system's CUPS looks whatever CMAKE_INSTALL_PREFIX
# is (DESTDIR still applies). A relative path puts them under the prefix
# instead, e.g. -DZELP_CUPS_SERVERBIN=lib/cups -DZELP_CUPS_DATADIR=share/cups.
set(ZELP_CUPS_SERVERBIN "${CUPS_SERVERBIN}" CACHE STRING
    "CUPS ServerBin to install the filter under (relative: under the install prefix)")
set(ZELP_CUPS_DATADIR "${CUPS_DATADIR}" CACHE STRING
    "CUPS DataDir to install the PPD files under (relative: under the install prefix)")
