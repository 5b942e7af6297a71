// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Who may do what. Anyone may print, follow their jobs and read the
// printers' status; changing, adding or deleting printers and defaults
// (over IPP or the web) needs an administrator: root or the server's own
// user on the local socket that the sub-commands use, anyone else signed
// in through the authentication service (PAM), whose membership of the
// admin group PAPPL checks.
//
// PAPPL 1.3.1 lets every process on the local socket administer, lets
// anyone on the loopback address administer when no authentication
// service is set, and once one is set asks every client for a password,
// even to print. Its printer page pauses and resumes the printer for
// anyone, and its web forms carry one token for every visitor from one
// address. So the executable defines, in front of the library's own:
//   papplClientIsAuthorized    the administrator check above
//   _papplPrinterIsAuthorized  printing open, printer changes for
//                              administrators, a job's changes for its
//                              owner or an administrator
//   papplClientGetCSRFToken, papplClientIsValidForm
//                              form tokens bound to a session cookie of
//                              the browser's own, the form's origin checked,
//                              and every form sent by an administrator
//   papplClientRespond         sets that cookie, and answers a form sent by
//                              anyone else "401 Unauthorized" (the page
//                              says why; the browser asks for a password);
//                              it also offers cutting as finishings
//                              (pa_finishings.cpp)
#include "pa_auth.h"

#include "pa_finishings.h"

#include <dlfcn.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using AuthorizedFn = http_status_t (*)(pappl_client_t*);
using RespondFn = bool (*)(pappl_client_t*, http_status_t, const char*, const char*, time_t, size_t);

template <typename Fn>
Fn Next(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

constexpr const char* kSessionCookie = "zelp-session";

bool g_authService = false;
char g_secret[65];  // random for the life of the server

// The session of the request this thread serves: its cookie, or the one
// sent with the answer; and the answer owed to a form sent by someone
// who is no administrator.
thread_local std::string t_session;
thread_local http_status_t t_formRefusal = HTTP_STATUS_NONE;

std::string RandomHex(size_t bytes) {
    unsigned char raw[32] = {};
    if (bytes > sizeof raw) bytes = sizeof raw;
    size_t got = 0;
    while (got < bytes) {
        const ssize_t n = getrandom(raw + got, bytes - got, 0);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    std::string text;
    char pair[3];
    for (size_t i = 0; i < bytes; ++i) {
        snprintf(pair, sizeof pair, "%02x", raw[i]);
        text += pair;
    }
    return text;
}

std::string RequestSession(pappl_client_t* client) {
    char value[65] = "";
    if (!papplClientGetCookie(client, kSessionCookie, value, sizeof value)) return {};
    for (const char* c = value; *c != '\0'; ++c) {
        if (strchr("0123456789abcdef", *c) == nullptr) return {};
    }
    return strlen(value) == 32 ? value : std::string();
}

std::string TokenOf(const std::string& session) {
    const std::string text = std::string(g_secret) + ":" + session;
    unsigned char sum[32];
    char hex[65];
    cupsHashData("sha2-256", text.data(), text.size(), sum, sizeof sum);
    cupsHashString(sum, sizeof sum, hex, sizeof hex);
    return hex;
}

// A form sent from a page of another site names that site in Origin (or
// Referer); it must name the host the form was sent to.
bool SameOrigin(pappl_client_t* client) {
    http_t* http = papplClientGetHTTP(client);
    const char* host = httpGetField(http, HTTP_FIELD_HOST);
    for (http_field_t field : {HTTP_FIELD_ORIGIN, HTTP_FIELD_REFERER}) {
        const char* from = httpGetField(http, field);
        if (from == nullptr || *from == '\0') continue;
        const char* start = strstr(from, "://");
        if (start == nullptr || host == nullptr) return false;
        start += 3;
        const size_t length = strcspn(start, "/");
        return length == strlen(host) && strncasecmp(start, host, length) == 0;
    }
    return true;
}

// Whose process is on the other end of a local socket.
bool LocalPeerIsAdmin(http_t* http) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(httpGetFd(http), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return false;
    return peer.uid == 0 || peer.uid == geteuid();
}

bool IsAdministrative(ipp_op_t op) {
    switch (op) {
        case IPP_OP_PRINT_JOB:
        case IPP_OP_PRINT_URI:
        case IPP_OP_VALIDATE_JOB:
        case IPP_OP_CREATE_JOB:
        case IPP_OP_GET_JOBS:
        case IPP_OP_GET_JOB_ATTRIBUTES:
        case IPP_OP_CANCEL_JOB:
        case IPP_OP_HOLD_JOB:
        case IPP_OP_RELEASE_JOB:
        case IPP_OP_CLOSE_JOB:
        case IPP_OP_SEND_DOCUMENT:
        case IPP_OP_SEND_URI:
        case IPP_OP_CANCEL_MY_JOBS:
        case IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS:
        case IPP_OP_CREATE_JOB_SUBSCRIPTIONS:
        case IPP_OP_GET_SUBSCRIPTION_ATTRIBUTES:
        case IPP_OP_GET_SUBSCRIPTIONS:
        case IPP_OP_RENEW_SUBSCRIPTION:
        case IPP_OP_CANCEL_SUBSCRIPTION:
        case IPP_OP_GET_NOTIFICATIONS:
            return false;
        default:
            return true;  // Disable-Printer, Enable-Printer, Cancel-Current-Job, ...
    }
}

// The user a request names: its authenticated user, else the
// requesting-user-name that IPP clients send.
const char* Requester(pappl_client_t* client) {
    if (const char* user = papplClientGetUsername(client)) return user;
    ipp_attribute_t* attr =
        ippFindAttribute(papplClientGetRequest(client), "requesting-user-name", IPP_TAG_NAME);
    return attr != nullptr ? ippGetString(attr, 0, nullptr) : nullptr;
}

}  // namespace

namespace zelp::pa {

const char* AuthService(const char* option) {
    if (option == nullptr) return "login";
    return *option == '\0' || strcmp(option, "none") == 0 ? nullptr : option;
}

void SetAdministrators(pappl_system_t* system, const char* adminGroup) {
    snprintf(g_secret, sizeof g_secret, "%s", RandomHex(32).c_str());
    g_authService = papplSystemGetAuthService(system) != nullptr;
    if (adminGroup != nullptr && *adminGroup != '\0') papplSystemSetAdminGroup(system, adminGroup);
}

}  // namespace zelp::pa

// NOLINTBEGIN(bugprone-reserved-identifier,readability-identifier-naming): PAPPL's own names
extern "C" http_status_t papplClientIsAuthorized(pappl_client_t* client) {
    static const AuthorizedFn pappl = Next<AuthorizedFn>("papplClientIsAuthorized");
    if (client == nullptr) return HTTP_STATUS_BAD_REQUEST;
    http_t* http = papplClientGetHTTP(client);
    if (httpAddrFamily(httpGetAddress(http)) == AF_LOCAL) {
        return LocalPeerIsAdmin(http) ? HTTP_STATUS_CONTINUE : HTTP_STATUS_FORBIDDEN;
    }
    // Without a service no password can be checked: nobody on the network
    // administers. With one, PAPPL checks it (TLS first, off loopback).
    if (!g_authService || pappl == nullptr) return HTTP_STATUS_FORBIDDEN;
    return pappl(client);
}

extern "C" bool _papplPrinterIsAuthorized(pappl_client_t* client) {
    http_status_t code = HTTP_STATUS_CONTINUE;
    if (IsAdministrative(ippGetOperation(papplClientGetRequest(client)))) {
        code = papplClientIsAuthorized(client);
    } else if (pappl_job_t* job = papplClientGetJob(client)) {
        const char* owner = papplJobGetUsername(job);
        const char* requester = Requester(client);
        if (owner != nullptr && (requester == nullptr || strcmp(owner, requester) != 0)) {
            code = papplClientIsAuthorized(client);
        }
    }
    if (code == HTTP_STATUS_CONTINUE) return true;
    papplClientRespond(client, code, nullptr, nullptr, 0, 0);
    return false;
}

extern "C" char* papplClientGetCSRFToken(pappl_client_t* client, char* buffer, size_t size) {
    if (buffer == nullptr || size < 65) {
        if (buffer != nullptr && size > 0) *buffer = '\0';
        return nullptr;
    }
    const std::string session = t_session.empty() ? RequestSession(client) : t_session;
    snprintf(buffer, size, "%s", session.empty() ? "" : TokenOf(session).c_str());
    return buffer;
}

extern "C" bool papplClientIsValidForm(pappl_client_t* client, int count, cups_option_t* form) {
    const char* token = cupsGetOption("session", count, form);
    const std::string session = RequestSession(client);
    if (token == nullptr || session.empty() || TokenOf(session) != token || !SameOrigin(client)) return false;
    const http_status_t code = papplClientIsAuthorized(client);
    if (code == HTTP_STATUS_CONTINUE) return true;
    t_formRefusal = code;
    return false;
}

extern "C" bool papplClientRespond(pappl_client_t* client, http_status_t code, const char* encoding, const char* type,
                                   time_t modified, size_t length) {
    static const RespondFn pappl = Next<RespondFn>("papplClientRespond");
    if (pappl == nullptr) return false;
    const http_status_t refusal = t_formRefusal;
    t_formRefusal = HTTP_STATUS_NONE;
    t_session.clear();
    if (type != nullptr && strcmp(type, "application/ipp") == 0 && papplClientGetResponse(client) != nullptr) {
        zelp::pa::OfferCuttingAsFinishings(client);
        length = ippLength(papplClientGetResponse(client));
    }
    if (type != nullptr && strcmp(type, "text/html") == 0) {
        if (code == HTTP_STATUS_OK && refusal != HTTP_STATUS_NONE) code = refusal;
        t_session = RequestSession(client);
        if (t_session.empty()) {
            t_session = RandomHex(16);
            const std::string cookie = std::string(kSessionCookie) + "=" + t_session + "; path=/; httponly; samesite=strict";
            httpSetCookie(papplClientGetHTTP(client), cookie.c_str());
        }
    }
    return pappl(client, code, encoding, type, modified, length);
}
// NOLINTEND(bugprone-reserved-identifier,readability-identifier-naming)
