// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Moving a printer to a new address ("modify -d PRINTER -v URI"), which
// PAPPL 1.3.1 cannot do: its main loop drops -v, and a printer's device
// URI has no setter. The server answers an operation of this program's
// own by creating the printer anew with the same id, name, driver and
// settings at the new address.
#ifndef ZELP_PA_DEVICE_URI_H
#define ZELP_PA_DEVICE_URI_H

#include <pappl/pappl.h>

namespace zelp::pa {

// The operation: to /ipp/system, with printer-name and
// smi55357-device-uri in the operation attributes.
constexpr ipp_op_t kSetDeviceUri = static_cast<ipp_op_t>(0x5A01);

// pappl_ipp_op_cb_t for the server.
bool DeviceUriOperation(pappl_client_t* client, void* context);

// The client side: asks the server this program runs to move the
// printer. The exit status; the reason on standard error.
int MovePrinter(const char* printerName, const char* deviceUri);

}  // namespace zelp::pa

#endif
