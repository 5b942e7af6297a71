// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "serial_device.h"

#include <fcntl.h>
#include <glob.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <pappl/pappl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

namespace zelp::pa {

namespace {

constexpr const char* kScheme = "serial";
constexpr int kDefaultBaud = 9600;

struct Rate {
    int baud;
    speed_t speed;
};
constexpr Rate kRates[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400},   {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800},
    {921600, B921600},
};

// Ports the devices list offers, and what to call them.
struct PortKind {
    const char* pattern;
    const char* description;
};
constexpr PortKind kPortKinds[] = {
    {"/dev/ttyS[0-9]*", "Serial port"},
    {"/dev/ttyUSB[0-9]*", "USB serial port"},
    {"/dev/ttyACM[0-9]*", "USB serial port"},
    {"/dev/rfcomm[0-9]*", "Bluetooth serial port"},
};

// A write waits in slices this long while the printer holds the line; a
// read waits at most this long for the printer's answer.
constexpr int kWriteSliceMs = 1000;
constexpr int kReadWaitMs = 500;
// Closing waits for the bytes still queued to leave, while they do.
constexpr int kDrainStallMs = 60000;

const Rate* FindRate(int baud) {
    for (const Rate& rate : kRates) {
        if (rate.baud == baud) return &rate;
    }
    return nullptr;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %XX escapes decoded; false for a broken one.
bool Unescape(const std::string& text, std::string* out) {
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out->push_back(text[i]);
            continue;
        }
        const int high = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (high < 0 || low < 0) return false;
        out->push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return true;
}

// One name=value of the query.
bool ApplyOption(const std::string& name, const std::string& value, SerialLine* line, std::string* error) {
    if (name == "baud") {
        char* end = nullptr;
        const long baud = value.empty() ? 0 : strtol(value.c_str(), &end, 10);
        if (end == nullptr || *end != '\0' || baud <= 0 || baud > 921600 || FindRate(static_cast<int>(baud)) == nullptr) {
            *error = "Unsupported baud rate \"" + value + "\" (1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, "
                     "230400, 460800 or 921600).";
            return false;
        }
        line->baud = static_cast<int>(baud);
        return true;
    }
    if (name == "flow") {
        if (value == "none") {
            line->flow = SerialFlow::kNone;
        } else if (value == "rtscts" || value == "hard") {
            line->flow = SerialFlow::kRtsCts;
        } else if (value == "xonxoff" || value == "soft") {
            line->flow = SerialFlow::kXonXoff;
        } else {
            *error = "Unsupported flow control \"" + value + "\" (none, rtscts or xonxoff).";
            return false;
        }
        return true;
    }
    // CUPS's URIs name the framing too: only what these printers use.
    if ((name == "bits" && value == "8") || (name == "parity" && value == "none")) return true;
    *error = "Unsupported serial option \"" + name + "=" + value + "\" (baud and flow; 8 bits, no parity).";
    return false;
}

struct Port {
    int fd = -1;
    std::string path;
};

Port* PortOf(pappl_device_t* device) { return static_cast<Port*>(papplDeviceGetData(device)); }

double Seconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// 8 data bits, no parity, one stop bit, raw; the rate and flow control of
// the URI. CLOCAL: a printer need not raise carrier detect.
bool SetLine(int fd, const SerialLine& line) {
    struct termios tio;
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (line.flow == SerialFlow::kRtsCts) tio.c_cflag |= CRTSCTS;
    // IXON: the kernel stops sending at the printer's XOFF and goes on at
    // XON. (No status byte of these printers is 11 or 13 hex.)
    if (line.flow == SerialFlow::kXonXoff) tio.c_iflag |= IXON | IXOFF;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = FindRate(line.baud)->speed;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0) return false;
    if (tcsetattr(fd, TCSANOW, &tio) != 0) return false;
    tcflush(fd, TCIFLUSH);  // whatever the printer said before this job
    return true;
}

bool Open(pappl_device_t* device, const char* uri, const char* /*name*/) {
    SerialLine line;
    std::string error;
    if (!ParseSerialUri(uri, &line, &error)) {
        papplDeviceError(device, "%s", error.c_str());
        return false;
    }
    const int fd = open(line.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        papplDeviceError(device, "Unable to open the serial port %s: %s.", line.path.c_str(), strerror(errno));
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !isatty(fd)) {
        papplDeviceError(device, "%s is not a serial port.", line.path.c_str());
        close(fd);
        return false;
    }
    if (!SetLine(fd, line)) {
        papplDeviceError(device, "Unable to set %s to %d baud: %s.", line.path.c_str(), line.baud, strerror(errno));
        close(fd);
        return false;
    }
    Port* port = new (std::nothrow) Port;
    if (port == nullptr) {
        close(fd);
        return false;
    }
    port->fd = fd;
    port->path = line.path;
    papplDeviceSetData(device, port);
    return true;
}

// The bytes go when the line takes them: at the baud rate, and not while
// the printer holds it (CTS low, or after XOFF), which the kernel keeps to.
ssize_t Write(pappl_device_t* device, const void* buffer, size_t bytes) {
    Port* port = PortOf(device);
    const unsigned char* data = static_cast<const unsigned char*>(buffer);
    size_t done = 0;
    while (done < bytes) {
        const ssize_t n = write(port->fd, data + done, bytes - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            papplDeviceError(device, "Unable to write to the serial port %s: %s.", port->path.c_str(),
                             strerror(errno));
            return -1;
        }
        struct pollfd wait = {port->fd, POLLOUT, 0};
        if (poll(&wait, 1, kWriteSliceMs) < 0 && errno != EINTR) return -1;
        if ((wait.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            papplDeviceError(device, "The serial port %s was closed.", port->path.c_str());
            return -1;
        }
    }
    return static_cast<ssize_t>(done);
}

// What the printer sent (status answers), waiting at most kReadWaitMs for
// its first byte: 0 when nothing came.
ssize_t Read(pappl_device_t* device, void* buffer, size_t bytes) {
    Port* port = PortOf(device);
    struct pollfd wait = {port->fd, POLLIN, 0};
    const int ready = poll(&wait, 1, kReadWaitMs);
    if (ready < 0 && errno != EINTR) return -1;
    if (ready <= 0 || (wait.revents & POLLIN) == 0) return 0;
    const ssize_t n = read(port->fd, buffer, bytes);
    if (n < 0) return errno == EAGAIN || errno == EINTR ? 0 : -1;
    return n;
}

// The job is done when its bytes have left: wait while the queue empties,
// and give up only when it has not moved for kDrainStallMs.
void Close(pappl_device_t* device) {
    Port* port = PortOf(device);
    if (port == nullptr) return;
    int queued = 0;
    int last = -1;
    double since = Seconds();
    while (ioctl(port->fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
        if (queued != last) {
            last = queued;
            since = Seconds();
        } else if (Seconds() - since > kDrainStallMs / 1000.0) {
            papplDeviceError(device, "%d bytes for %s did not leave; the printer holds the line.", queued,
                             port->path.c_str());
            break;
        }
        usleep(20000);
    }
    close(port->fd);
    delete port;
}

// A 16550-style port that is only a name (no chip behind it) reports type
// PORT_UNKNOWN; USB and Bluetooth ports are listed when they exist (an
// RFCOMM port is not opened: that would call the printer).
bool RealUart(const char* path) {
    const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct serial_struct info;
    const bool real = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    close(fd);
    return real;
}

bool List(pappl_device_cb_t cb, void* data, pappl_deverror_cb_t /*errorCb*/, void* /*errorData*/) {
    for (const PortKind& kind : kPortKinds) {
        glob_t found;
        if (glob(kind.pattern, 0, nullptr, &found) != 0) continue;
        bool stop = false;
        for (size_t i = 0; i < found.gl_pathc && !stop; ++i) {
            const char* path = found.gl_pathv[i];
            if (strncmp(path, "/dev/ttyS", 9) == 0 && !RealUart(path)) continue;
            const std::string info = std::string(kind.description) + " " + (path + 5);
            const std::string uri = std::string(kScheme) + "://" + path + "?baud=" + std::to_string(kDefaultBaud);
            stop = cb(info.c_str(), uri.c_str(), "", data);
        }
        globfree(&found);
        if (stop) return true;
    }
    return false;
}

}  // namespace

bool ParseSerialUri(const char* uri, SerialLine* line, std::string* error) {
    *line = SerialLine{};
    const std::string text = uri != nullptr ? uri : "";
    const std::string prefix = std::string(kScheme) + ":";
    if (text.compare(0, prefix.size(), prefix) != 0) {
        *error = "Not a serial device URI: \"" + text + "\".";
        return false;
    }
    std::string rest = text.substr(prefix.size());
    if (rest.compare(0, 3, "///") == 0) rest.erase(0, 2);  // serial:///dev/... as serial:/dev/...
    const size_t query = rest.find('?');
    std::string path;
    if (!Unescape(rest.substr(0, query), &path) || path.compare(0, 5, "/dev/") != 0 || path.size() == 5 ||
        path.find("/../") != std::string::npos || path.compare(path.size() - 3, 3, "/..") == 0 ||
        path.find('#') != std::string::npos) {
        *error = "A serial device URI names a port under /dev, as serial:///dev/ttyUSB0?baud=9600, not \"" + text +
                 "\".";
        return false;
    }
    line->path = path;
    if (query == std::string::npos) return true;
    const std::string options = rest.substr(query + 1);
    size_t from = 0;
    while (from <= options.size()) {
        size_t end = options.find_first_of("&+", from);
        if (end == std::string::npos) end = options.size();
        const std::string pair = options.substr(from, end - from);
        from = end + 1;
        if (pair.empty()) continue;
        const size_t equals = pair.find('=');
        const std::string name = pair.substr(0, equals);
        const std::string value = equals == std::string::npos ? std::string() : pair.substr(equals + 1);
        if (!ApplyOption(name, value, line, error)) return false;
    }
    return true;
}

void AddSerialScheme() {
    // PAPPL adds its own schemes only while it knows none: let it first.
    papplDeviceIsSupported("socket://localhost");
    papplDeviceAddScheme(kScheme, PAPPL_DEVTYPE_CUSTOM_LOCAL, List, Open, Close, Read, Write, nullptr, nullptr);
}

}  // namespace zelp::pa
