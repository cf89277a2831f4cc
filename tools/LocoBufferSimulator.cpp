// rw-locobuffer-sim: a LocoBuffer on a quiet LocoNet, played on a pseudo-terminal, for people
// without the hardware and for tests and benchmarks.
//
// One thread does everything in a poll loop over the pseudo-terminal's master side, standard
// input, a signalfd (SIGTERM, SIGINT, SIGHUP) and, for load, a timerfd. Every whole message read
// from the device comes back as its echo, as the LocoBuffer passes back what it puts on the bus;
// injected messages go out in the order they were made. Output waits in a bounded queue while the
// program on the other side does not read. The simulator keeps the terminal's slave side open
// itself, so the terminal lives on while the gateway closes and reopens it.
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Output beyond this waits for nobody: what does not fit is counted as an overrun and dropped,
// as a bus interface loses what its host does not take.
constexpr std::size_t kOutputLimit = 64 * 1024;

const char kUsage[] = R"(Usage: rw-locobuffer-sim [options]

Plays a LocoBuffer on a quiet LocoNet on a pseudo-terminal. The first line of standard output
is the device path: give it to RwServer as its COM port through RW_COM<n>, e.g.
RW_COM3=/dev/pts/4 with ComPort=3 in the settings. Every whole LocoNet message written to the
device comes back as its echo, as from the real LocoBuffer; bytes that do not frame are dropped.

Options:
  --link PATH   also make PATH a symbolic link to the device while running
  --rate N      inject N sensor reports (B2 ...) per second, for load
  --count K     stop injecting after K reports (with --rate)
  --drop N      drop every Nth echo (1: all of them; 0, the default: none)
  --garble N    spoil the checksum of every Nth echo
  --no-input    do not read standard input; run until a signal ends the simulator
  --verbose     show every message on standard error
  --help        show this text

Standard input, one line each:
  B2 05 10 58   hex bytes, written to the device as they are (a message from the bus)
  drop N        change --drop while running
  garble N      change --garble while running

Ends at the end of standard input or at SIGTERM, SIGINT or SIGHUP, and then prints its counts
on standard error. Closing the device ends RwServer's receive loop, as an unplugged LocoBuffer.
)";

struct Options {
    std::string link;
    long rate = 0;
    long count = -1;   // no limit
    long drop = 0;
    long garble = 0;
    bool input = true;
    bool verbose = false;
};

struct Counts {
    long echoed = 0;
    long dropped = 0;
    long garbled = 0;
    long injected = 0;
    long overruns = 0;
};

std::string Hex(const Bytes& bytes) {
    std::string text;
    char part[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(part, sizeof part, text.empty() ? "%02X" : " %02X", b);
        text += part;
    }
    return text;
}

// Hex bytes separated by blanks; false for anything else or an empty line.
bool ParseHex(const std::string& line, Bytes& bytes) {
    bytes.clear();
    const char* p = line.c_str();
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == '\0') return !bytes.empty();
        if (!std::isxdigit(static_cast<unsigned char>(*p))) return false;
        char* end = nullptr;
        unsigned long value = std::strtoul(p, &end, 16);
        if (end == p || end - p > 2 || (*end != '\0' && *end != ' ' && *end != '\t')) return false;
        bytes.push_back(static_cast<std::uint8_t>(value));
        p = end;
    }
}

bool ParseCount(const char* text, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && errno == 0 && value >= 0;
}

// LocoNet framing by the rules the gateway's device uses: the opcode (bit 7 set) first, the
// length from its bits 6 and 5 or from the count byte, all bytes XOR to 0xFF. A failed candidate
// loses its opcode only.
class Framer {
public:
    template <class Deliver>
    void Feed(const std::uint8_t* data, std::size_t n, Deliver deliver) {
        // One byte at a time, so the buffer never holds more than the longest message.
        for (std::size_t i = 0; i < n; ++i) {
            bytes.push_back(data[i]);
            while (std::size_t length = Find()) {
                deliver(Bytes(bytes.begin(), bytes.begin() + length));
                bytes.erase(bytes.begin(), bytes.begin() + length);
            }
        }
    }

private:
    std::size_t Find() {
        Skip();
        while (bytes.size() >= 2) {
            std::size_t n = Length();
            if (n != 0) {
                if (bytes.size() < n) return 0;
                std::uint8_t sum = 0;
                for (std::size_t i = 0; i < n; ++i) sum ^= bytes[i];
                if (sum == 0xFF) return n;
            }
            bytes.erase(bytes.begin());
            Skip();
        }
        return 0;
    }

    // 0 for an invalid count byte.
    std::size_t Length() const {
        switch (bytes[0] & 0x60) {
            case 0x00: return 2;
            case 0x20: return 4;
            case 0x40: return 6;
            default: return bytes[1] >= 3 && bytes[1] <= 127 ? bytes[1] : 0;
        }
    }

    void Skip() {
        std::size_t n = 0;
        while (n < bytes.size() && (bytes[n] & 0x80) == 0) ++n;
        bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    }

    Bytes bytes;
};

// A sensor report (OPC_INPUT_REP) whose address and level change with n.
Bytes SensorReport(long n) {
    Bytes message = {0xB2, static_cast<std::uint8_t>(n & 0x7F),
                     static_cast<std::uint8_t>(0x40 | ((n & 1) << 4) | ((n >> 7) & 0x0F))};
    message.push_back(static_cast<std::uint8_t>(0xFF ^ message[0] ^ message[1] ^ message[2]));
    return message;
}

class Simulator {
public:
    explicit Simulator(const Options& options) : options(options) {}
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool Start();
    int Run();
    void Report() const;

private:
    // The pseudo-terminal and its plumbing.
    bool OpenTerminal();
    bool StartTimer();
    void ReadDevice();
    void FlushOutput();
    bool ReadInput();
    void InjectLoad();

    // What the LocoBuffer does.
    void Echo(Bytes message);
    // False when the output queue is full and the message is lost.
    bool Send(const Bytes& message, const char* what);
    void Command(const std::string& line);

    Options options;
    Counts counts;
    Framer framer;
    std::string device;
    int master = -1;
    int keeper = -1;
    int signals = -1;
    int timer = -1;
    Bytes output;
    std::string inputLine;
    long echoNumber = 0;
    long injectedLoad = 0;
    bool linked = false;
};

Simulator::~Simulator() {
    // Closing the master side hangs up every open slave side: the gateway sees its device go.
    for (int fd : {master, keeper, signals, timer})
        if (fd >= 0) close(fd);
    if (linked) unlink(options.link.c_str());
}

bool Simulator::OpenTerminal() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return false;
    char name[128];
    if (ptsname_r(master, name, sizeof name) != 0) return false;
    device = name;
    if (fcntl(master, F_SETFL, O_NONBLOCK) != 0) return false;
    // Raw from the start, so that nothing injected before the gateway configures the line is
    // echoed back by the terminal itself.
    keeper = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios line{};
    if (keeper < 0 || tcgetattr(keeper, &line) != 0) return false;
    cfmakeraw(&line);
    return tcsetattr(keeper, TCSANOW, &line) == 0;
}

bool Simulator::StartTimer() {
    timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timer < 0) return false;
    long period = 1000000000L / options.rate;
    if (period == 0) period = 1;
    itimerspec spec{};
    spec.it_interval.tv_sec = period / 1000000000L;
    spec.it_interval.tv_nsec = period % 1000000000L;
    spec.it_value = spec.it_interval;
    return timerfd_settime(timer, 0, &spec, nullptr) == 0;
}

bool Simulator::Start() {
    if (!OpenTerminal()) {
        std::perror("rw-locobuffer-sim: pseudo-terminal");
        return false;
    }
    if (!options.link.empty()) {
        struct stat existing{};
        if (lstat(options.link.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode)) unlink(options.link.c_str());
        if (symlink(device.c_str(), options.link.c_str()) != 0) {
            std::perror("rw-locobuffer-sim: --link");
            return false;
        }
        linked = true;
    }
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    signals = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signals < 0 || (options.rate > 0 && options.count != 0 && !StartTimer())) {
        std::perror("rw-locobuffer-sim");
        return false;
    }
    std::printf("%s\n", device.c_str());
    std::fflush(stdout);
    return true;
}

int Simulator::Run() {
    bool inputOpen = options.input;
    for (;;) {
        pollfd fds[4];
        nfds_t used = 0;
        fds[used++] = {master, static_cast<short>(POLLIN | (output.empty() ? 0 : POLLOUT)), 0};
        fds[used++] = {signals, POLLIN, 0};
        const nfds_t timerAt = timer >= 0 ? used : 99;
        if (timer >= 0) fds[used++] = {timer, POLLIN, 0};
        const nfds_t inputAt = inputOpen ? used : 99;
        if (inputOpen) fds[used++] = {STDIN_FILENO, POLLIN, 0};
        if (poll(fds, used, -1) < 0) {
            if (errno == EINTR) continue;
            std::perror("rw-locobuffer-sim: poll");
            return 1;
        }
        if (fds[1].revents) return 0;   // a signal asks the simulator to end
        if (fds[0].revents & POLLIN) ReadDevice();
        if (fds[0].revents & POLLOUT) FlushOutput();
        if (timerAt != 99 && fds[timerAt].revents) InjectLoad();
        if (inputAt != 99 && fds[inputAt].revents && !ReadInput()) return 0;
    }
}

void Simulator::ReadDevice() {
    std::uint8_t buffer[4096];
    ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) return;
    framer.Feed(buffer, static_cast<std::size_t>(n), [this](Bytes message) { Echo(std::move(message)); });
}

void Simulator::FlushOutput() {
    ssize_t n = write(master, output.data(), output.size());
    if (n > 0) output.erase(output.begin(), output.begin() + n);
}

bool Simulator::ReadInput() {
    char buffer[4096];
    ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (n <= 0) {
        if (!inputLine.empty()) Command(inputLine);
        return false;   // the end of input ends the simulator
    }
    inputLine.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end; (end = inputLine.find('\n')) != std::string::npos;) {
        Command(inputLine.substr(0, end));
        inputLine.erase(0, end + 1);
    }
    return true;
}

void Simulator::InjectLoad() {
    std::uint64_t expirations = 0;
    if (read(timer, &expirations, sizeof expirations) != sizeof expirations) return;
    for (std::uint64_t i = 0; i < expirations && options.count != 0; ++i) {
        if (Send(SensorReport(injectedLoad++), "inject")) ++counts.injected;
        if (options.count > 0) --options.count;
    }
    if (options.count == 0) {
        close(timer);
        timer = -1;
    }
}

void Simulator::Echo(Bytes message) {
    ++echoNumber;
    if (options.drop > 0 && echoNumber % options.drop == 0) {
        ++counts.dropped;
        if (options.verbose) std::fprintf(stderr, "drop   %s\n", Hex(message).c_str());
        return;
    }
    if (options.garble > 0 && echoNumber % options.garble == 0) {
        message.back() ^= 0x01;   // the checksum no longer fits; bit 7 stays clear
        if (Send(message, "garble")) ++counts.garbled;
        return;
    }
    if (Send(message, "echo")) ++counts.echoed;
}

bool Simulator::Send(const Bytes& message, const char* what) {
    if (output.size() + message.size() > kOutputLimit) {
        ++counts.overruns;
        return false;
    }
    if (options.verbose) std::fprintf(stderr, "%-6s %s\n", what, Hex(message).c_str());
    output.insert(output.end(), message.begin(), message.end());
    FlushOutput();
    return true;
}

void Simulator::Report() const {
    std::fprintf(stderr, "rw-locobuffer-sim: echoed %ld, dropped %ld, garbled %ld, injected %ld, overruns %ld\n",
                 counts.echoed, counts.dropped, counts.garbled, counts.injected, counts.overruns);
}

void Simulator::Command(const std::string& line) {
    if (line.empty() || line[0] == '#') return;
    long value = 0;
    for (auto [name, setting] : {std::pair{"drop ", &options.drop}, std::pair{"garble ", &options.garble}}) {
        std::size_t length = std::strlen(name);
        if (line.compare(0, length, name) == 0 && ParseCount(line.c_str() + length, value)) {
            *setting = value;
            return;
        }
    }
    Bytes bytes;
    if (!ParseHex(line, bytes)) {
        std::fprintf(stderr, "rw-locobuffer-sim: ignored line: %s\n", line.c_str());
        return;
    }
    if (Send(bytes, "inject")) ++counts.injected;
}

// False with a message for a bad command line.
bool ParseOptions(int argc, char** argv, Options& options, bool& help) {
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        long* number = option == "--rate"     ? &options.rate
                       : option == "--count"  ? &options.count
                       : option == "--drop"   ? &options.drop
                       : option == "--garble" ? &options.garble
                                              : nullptr;
        if (number != nullptr || option == "--link") {
            if (i + 1 >= argc || (number != nullptr && !ParseCount(argv[i + 1], *number))) {
                std::fprintf(stderr, "rw-locobuffer-sim: %s needs a %s\n", option.c_str(),
                             number != nullptr ? "number of 0 or more" : "path");
                return false;
            }
            if (number == nullptr) options.link = argv[i + 1];
            ++i;
        } else if (option == "--no-input") {
            options.input = false;
        } else if (option == "--verbose") {
            options.verbose = true;
        } else if (option == "--help" || option == "-h") {
            help = true;
        } else {
            std::fprintf(stderr, "rw-locobuffer-sim: unknown option %s (see --help)\n", option.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    bool help = false;
    if (!ParseOptions(argc, argv, options, help)) return 2;
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::signal(SIGPIPE, SIG_IGN);
    Simulator simulator(options);
    if (!simulator.Start()) return 1;
    int result = simulator.Run();
    simulator.Report();
    return result;
}
