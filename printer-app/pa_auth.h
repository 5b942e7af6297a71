// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Who may do what (see pa_auth.cpp): printing and status open to all,
// administration to root on the local socket and to users signed in.
#ifndef ZELP_PA_AUTH_H
#define ZELP_PA_AUTH_H

#include <pappl/pappl.h>

namespace zelp::pa {

// The PAM service for papplSystemCreate from the "auth-service" option:
// "login" when not given, null for "none" (nobody administers but over
// the local socket).
const char* AuthService(const char* option);

// Takes the system's authentication service and the group administrators
// must be in (null or empty: any user the service accepts).
void SetAdministrators(pappl_system_t* system, const char* adminGroup);

}  // namespace zelp::pa

#endif
