// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// image_to_ZELP: PNG, JPEG and GIF pictures to receipt printer bytes, as
// CUPS's imagetoraster piped into raster_to_ZELP, with the picture fitted
// to the paper first.
//
//   image_to_ZELP job-id user title copies options [file]
//
// imagetoraster prints a picture at the pixels per inch the job gives (a
// queue made by scripts/add-queue.sh gives 203, one pixel a dot). A picture
// wider than the paper at that resolution it turns sideways, or, asked to
// keep it upright, cuts into pieces that print as receipts of their own.
// Here such a picture gets the least resolution at which it fits across the
// printable width, so it prints upright and whole, scaled to the width. A
// job that asks for another scaling or for landscape keeps CUPS's rules.
// A JPEG that CUPS's image reader refuses for want of a JFIF or Exif marker
// gets a JFIF marker first.
#include <cups/cups.h>
#include <cups/ppd.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "picture_fit.h"

namespace {

// The print head's resolution: one picture pixel a dot.
constexpr int kHeadPpi = 203;

volatile sig_atomic_t g_imagePid = 0;
volatile sig_atomic_t g_rasterPid = 0;
volatile sig_atomic_t g_cancelled = 0;

// The scheduler cancels a job by signalling its filters; ours run below us.
void PassOnSigterm(int /*sig*/) {
    g_cancelled = 1;
    if (g_imagePid > 0) kill(static_cast<pid_t>(g_imagePid), SIGTERM);
    if (g_rasterPid > 0) kill(static_cast<pid_t>(g_rasterPid), SIGTERM);
}

bool ReadAll(int fd, std::vector<unsigned char>* bytes) {
    unsigned char block[65536];
    for (;;) {
        const ssize_t n = read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        bytes->insert(bytes->end(), block, block + n);
    }
}

bool IsYes(const char* value) {
    return value != nullptr && (strcasecmp(value, "true") == 0 || strcasecmp(value, "yes") == 0 ||
                                strcasecmp(value, "on") == 0);
}

// Inches across the printable width of the job's page, from the PPD with
// the job's options marked; 0 when there is no PPD to tell.
float PrintableInches(int count, cups_option_t* options) {
    const char* path = getenv("PPD");
    ppd_file_t* ppd = path != nullptr ? ppdOpenFile(path) : nullptr;
    if (ppd == nullptr) return 0.0f;
    ppdMarkDefaults(ppd);
    cupsMarkOptions(ppd, count, options);
    const ppd_size_t* size = ppdPageSize(ppd, nullptr);
    const float inches = size != nullptr ? static_cast<float>((size->right - size->left) / 72.0) : 0.0f;
    ppdClose(ppd);
    return inches;
}

// The job's options with the resolution at which the picture fits (a later
// ppi replaces an earlier one), or as they are when the job asks for
// another scaling, for landscape, or the size is not known.
std::string FittedOptions(const char* given, const std::vector<unsigned char>& picture) {
    std::string options = given;
    uint32_t width = 0;
    uint32_t height = 0;
    if (!PictureSize(picture.data(), picture.size(), &width, &height) || width == 0) return options;
    cups_option_t* list = nullptr;
    const int count = cupsParseOptions(given, 0, &list);
    const char* orientation = cupsGetOption("orientation-requested", count, list);
    const bool landscape = (orientation != nullptr && (atoi(orientation) == 4 || atoi(orientation) == 5)) ||
                           IsYes(cupsGetOption("landscape", count, list));
    int ppi = kHeadPpi;
    bool keep = landscape;
    if (const char* asked = cupsGetOption("ppi", count, list)) {
        ppi = atoi(asked);
        keep = keep || ppi < 1;
    } else {
        for (const char* scaling : {"scaling", "fit-to-page", "fitplot", "natural-scaling", "print-scaling"}) {
            keep = keep || cupsGetOption(scaling, count, list) != nullptr;
        }
    }
    const float inches = keep ? 0.0f : PrintableInches(count, list);
    cupsFreeOptions(count, list);
    if (inches <= 0.0f) return options;
    const int fit = FittingPpi(width, ppi, inches);
    fprintf(stderr, "DEBUG: image_to_ZELP: picture %u x %u pixels, %.2f inches printable, %d pixels per inch\n",
            width, height, static_cast<double>(inches), fit);
    return options + (options.empty() ? "" : " ") + "ppi=" + std::to_string(fit);
}

// A file holding `bytes`, already unlinked, at its start; -1 on failure.
int AnonymousFile(const std::vector<unsigned char>& bytes) {
    const char* dir = getenv("TMPDIR");
    std::string path = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/image_to_ZELP.XXXXXX";
    const int fd = mkstemp(&path[0]);
    if (fd < 0) return -1;
    unlink(path.c_str());
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(fd);
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    if (lseek(fd, 0, SEEK_SET) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The folder this program runs from: raster_to_ZELP is installed beside it.
std::string OwnFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = '\0';
    char* slash = strrchr(path, '/');
    if (slash == nullptr) return ".";
    *slash = '\0';
    return path;
}

pid_t Start(const std::string& program, std::vector<std::string> args, int in, int out) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid != 0) return pid;
    signal(SIGTERM, SIG_DFL);
    if (in >= 0 && dup2(in, 0) < 0) _exit(127);
    if (dup2(out, 1) < 0) _exit(127);
    for (int fd = 3; fd < 64; ++fd) close(fd);
    execv(program.c_str(), argv.data());
    fprintf(stderr, "ERROR: Unable to run %s - %s\n", program.c_str(), strerror(errno));
    _exit(127);
}

int Wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 6 || argc > 7) {
        fputs("ERROR: image_to_ZELP job-id user title copies options [file]\n", stderr);
        return 1;
    }
    const int in = argc == 7 ? open(argv[6], O_RDONLY) : 0;
    std::vector<unsigned char> picture;
    if (in < 0 || !ReadAll(in, &picture)) {
        fprintf(stderr, "ERROR: Unable to read the picture - %s\n", strerror(errno));
        return 1;
    }
    if (in != 0) close(in);

    const std::string options = FittedOptions(argv[5], picture);
    const bool repair = JpegLacksAppMarker(picture.data(), picture.size());
    if (repair) {
        fputs("DEBUG: image_to_ZELP: JPEG without a JFIF or Exif marker, given a JFIF marker\n", stderr);
        picture = WithJfifMarker(picture.data(), picture.size());
    }
    // imagetoraster reads the named file, or else its standard input.
    std::vector<std::string> imageArgs(argv, argv + 6);
    imageArgs[5] = options;
    int pictureFd = -1;
    if (argc == 7 && !repair) {
        imageArgs.push_back(argv[6]);
    } else if ((pictureFd = AnonymousFile(picture)) < 0) {
        fprintf(stderr, "ERROR: Unable to hold the picture - %s\n", strerror(errno));
        return 1;
    }
    picture.clear();
    picture.shrink_to_fit();

    const char* serverbin = getenv("CUPS_SERVERBIN");
    const std::string imagetoraster =
        std::string(serverbin != nullptr && *serverbin != '\0' ? serverbin : ZELP_CUPS_SERVERBIN_DEFAULT) +
        "/filter/imagetoraster";
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        fprintf(stderr, "ERROR: Unable to create a pipe - %s\n", strerror(errno));
        return 1;
    }
    signal(SIGTERM, PassOnSigterm);
    g_imagePid = Start(imagetoraster, imageArgs, pictureFd, pipeFds[1]);
    close(pipeFds[1]);
    if (pictureFd >= 0) close(pictureFd);
    g_rasterPid = Start(OwnFolder() + "/raster_to_ZELP", std::vector<std::string>(argv, argv + 6), pipeFds[0],
                        STDOUT_FILENO);
    close(pipeFds[0]);
    if (g_imagePid < 0 || g_rasterPid < 0) {
        fprintf(stderr, "ERROR: Unable to start the filters - %s\n", strerror(errno));
        PassOnSigterm(SIGTERM);
    }
    const int rasterStatus = g_rasterPid > 0 ? Wait(static_cast<pid_t>(g_rasterPid)) : -1;
    const bool rasterDone = WIFEXITED(rasterStatus) && WEXITSTATUS(rasterStatus) == 0;
    // Once raster_to_ZELP has stopped early, nothing reads what
    // imagetoraster still makes.
    if (g_imagePid > 0 && (!rasterDone || g_cancelled)) kill(static_cast<pid_t>(g_imagePid), SIGKILL);
    const int imageStatus = g_imagePid > 0 ? Wait(static_cast<pid_t>(g_imagePid)) : -1;
    // raster_to_ZELP has told the scheduler how the job went; a picture
    // that could not be read was reported by imagetoraster.
    const bool imageDone = WIFEXITED(imageStatus) && WEXITSTATUS(imageStatus) == 0;
    return rasterDone && (imageDone || g_cancelled) ? 0 : 1;
}
