# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Where an install puts what the system's services look for: the PPD files
# and the Printer Application's systemd unit. Both are cache variables, so a
# packager sets them on the command line; an absolute folder is used as it
# is whatever the install prefix (DESTDIR still applies), a relative one
# lands under the prefix. Needs cmake/Cups.cmake first.

# PPD files. CUPS's driver daemon reads CUPS's own model folder and, on
# Linux, the LSB folder /usr/share/ppd (listed as lsb/usr/...), which is
# where Debian's printer drivers put theirs, one folder per vendor. A CUPS
# folder given relative to the prefix (a CUPS built into /opt, say) keeps
# the PPDs beside it.
if(NOT IS_ABSOLUTE "${ZELP_CUPS_DATADIR}")
  set(zelp_ppd_default "${ZELP_CUPS_DATADIR}/model/zelp")
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(zelp_ppd_default "/usr/share/ppd/zelp")
else()
  set(zelp_ppd_default "${ZELP_CUPS_DATADIR}/model/zelp")
endif()
set(ZELP_PPD_INSTALL_DIR "${zelp_ppd_default}" CACHE STRING
    "Folder to install the PPD files in (relative: under the install prefix)")

# systemd units: where systemd.pc says (Debian 12: /lib/systemd/system, the
# only folder its debhelper enables units from), else that same folder.
find_package(PkgConfig QUIET)
set(zelp_unit_default "")
if(PKG_CONFIG_FOUND)
  pkg_get_variable(zelp_unit_default systemd systemdsystemunitdir)
endif()
if(NOT zelp_unit_default)
  set(zelp_unit_default "/lib/systemd/system")
endif()
set(ZELP_SYSTEMD_UNIT_DIR "${zelp_unit_default}" CACHE STRING
    "Folder to install the systemd unit in (relative: under the install prefix)")
