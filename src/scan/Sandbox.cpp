#include "scan/Sandbox.h"

#include <fcntl.h>
#include <linux/landlock.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <system_error>

#include "archive/UniqueFd.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUILLERY_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLERY_ADDRESS_SANITIZER 1
#endif
#endif

namespace quillery {

namespace {

#ifndef QUILLERY_ADDRESS_SANITIZER
// The address space mapped now, in bytes.
std::uint64_t MappedBytes() {
    std::FILE* statm = std::fopen("/proc/self/statm", "re");
    unsigned long long pages = 0;
    if (statm != nullptr) {
        if (std::fscanf(statm, "%llu", &pages) != 1) {
            pages = 0;
        }
        std::fclose(statm);
    }
    return pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}
#endif

bool LimitAddressSpace(std::vector<std::string>& left) {
#ifdef QUILLERY_ADDRESS_SANITIZER
    // The sanitizer reserves terabytes of shadow memory; the parent's watch on the resident
    // size stands in for the limit.
    left.emplace_back("no address space limit under AddressSanitizer");
    return false;
#else
    const std::uint64_t bytes = MappedBytes() + kReaderAddressHeadroom;
    const rlimit limit{bytes, bytes};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) {
        left.emplace_back("address space limit refused");
        return false;
    }
    return true;
#endif
}

// The system calls no reader needs, whatever it reads: they fail with EPERM.
constexpr const char* kDeniedAlways[] = {
    "socket",
    "socketpair",
    "connect",
    "bind",
    "listen",
    "accept",
    "accept4",
    "execve",
    "execveat",
    "fork",
    "vfork",
    "process_vm_readv",
    "process_vm_writev",
    "kexec_load",
    "kexec_file_load",
    "init_module",
    "finit_module",
    "delete_module",
    "mount",
    "umount2",
    "pivot_root",
    "chroot",
    "swapon",
    "swapoff",
    "reboot",
    "setns",
    "unshare",
    "bpf",
    "perf_event_open",
    "userfaultfd",
    "keyctl",
    "add_key",
    "request_key",
    "fanotify_init",
    "open_by_handle_at",
    "name_to_handle_at",
    "io_uring_setup",
    "io_uring_enter",
    "io_uring_register",
    "open_tree",
    "move_mount",
    "fsopen",
    "fsconfig",
    "fsmount",
    "fspick",
    "mount_setattr",
    "quotactl",
    "acct",
    "settimeofday",
    "clock_settime",
    "clock_adjtime",
    "adjtimex",
    "sethostname",
    "setdomainname",
    "iopl",
    "ioperm",
};
// What changes files and folders: denied in scan mode (opening for writing is denied by
// its flags, below).
constexpr const char* kDeniedWhenScanning[] = {
    "creat",        "openat2",   "unlink",    "unlinkat",  "rename",      "renameat",
    "renameat2",    "mkdir",     "mkdirat",   "rmdir",     "link",        "linkat",
    "symlink",      "symlinkat", "truncate",  "ftruncate", "fallocate",   "chmod",
    "fchmod",       "fchmodat",  "fchmodat2", "chown",     "fchown",      "fchownat",
    "lchown",       "utime",     "utimes",    "utimensat", "futimesat",   "mknod",
    "mknodat",      "setxattr",  "lsetxattr", "fsetxattr", "removexattr", "lremovexattr",
    "fremovexattr",
};

class SeccompFilter {
  public:
    SeccompFilter() : ctx_(seccomp_init(SCMP_ACT_ALLOW)) {}
    ~SeccompFilter() {
        if (ctx_ != nullptr) {
            seccomp_release(ctx_);
        }
    }
    SeccompFilter(const SeccompFilter&) = delete;
    SeccompFilter& operator=(const SeccompFilter&) = delete;

    bool valid() const { return ctx_ != nullptr; }
    // A call the running kernel's table does not know is left out.
    bool deny(const char* name) {
        const int call = seccomp_syscall_resolve_name(name);
        return call == __NR_SCMP_ERROR || seccomp_rule_add(ctx_, kDeny, call, 0) == 0;
    }
    // Denies the call when its argument arg has any of the bits.
    bool denyWithFlags(const char* name, unsigned arg, std::initializer_list<unsigned> bits) {
        const int call = seccomp_syscall_resolve_name(name);
        if (call == __NR_SCMP_ERROR) {
            return true;
        }
        for (const unsigned bit : bits) {
            const scmp_arg_cmp test{arg, SCMP_CMP_MASKED_EQ, bit, bit};
            if (seccomp_rule_add(ctx_, kDeny, call, 1, test) != 0) {
                return false;
            }
        }
        return true;
    }
    bool load() { return seccomp_load(ctx_) == 0; }

  private:
    static constexpr std::uint32_t kDeny = SCMP_ACT_ERRNO(EPERM);
    scmp_filter_ctx ctx_;
};

bool ApplySeccomp(ReaderMode mode, std::vector<std::string>& left) {
    SeccompFilter filter;
    bool ok = filter.valid();
    for (const char* name : kDeniedAlways) {
        ok = ok && filter.deny(name);
    }
#ifndef QUILLERY_ADDRESS_SANITIZER
    // Under AddressSanitizer the leak check at exit stops the threads with ptrace.
    ok = ok && filter.deny("ptrace");
#endif
    if (mode == ReaderMode::kScan) {
        for (const char* name : kDeniedWhenScanning) {
            ok = ok && filter.deny(name);
        }
        const std::initializer_list<unsigned> writing = {O_WRONLY, O_RDWR, O_CREAT, O_TRUNC};
        ok = ok && filter.denyWithFlags("open", 1, writing) &&
             filter.denyWithFlags("openat", 2, writing);
    }
    if (!ok || !filter.load()) {
        left.emplace_back("seccomp is not available");
        return false;
    }
    return true;
}

// The parts of a Landlock ruleset's attributes that its ABI versions know.
struct LandlockRulesetAttributes {
    std::uint64_t handledFs = 0;
    std::uint64_t handledNet = 0;  // ABI 4
    std::uint64_t scoped = 0;      // ABI 6
};

constexpr std::uint64_t kFsExecute = 1ULL << 0;
constexpr std::uint64_t kFsWriting = (1ULL << 1) | (1ULL << 4) | (1ULL << 5) | (1ULL << 6) |
                                     (1ULL << 7) | (1ULL << 8) | (1ULL << 9) | (1ULL << 10) |
                                     (1ULL << 11) | (1ULL << 12);
constexpr std::uint64_t kFsRefer = 1ULL << 13;     // ABI 2
constexpr std::uint64_t kFsTruncate = 1ULL << 14;  // ABI 3
constexpr std::uint64_t kNetTcp = 3;               // bind and connect, ABI 4
constexpr std::uint64_t kScopes = 3;               // abstract sockets and signals, ABI 6

// checkTruncation: whether Landlock is to refuse truncation too. It then looks up the path of
// every file opened, even for reading, which costs a scan a few per cent; a scan's
// seccomp filter refuses truncation already.
bool ApplyLandlock(ReaderMode mode, const std::filesystem::path& stageFolder, bool checkTruncation,
                   std::vector<std::string>& left) {
    const long abi =
        ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1) {
        left.emplace_back("Landlock is not available");
        return false;
    }
    std::uint64_t writing = kFsWriting;
    if (abi >= 2) {
        writing |= kFsRefer;
    }
    if (abi >= 3 && checkTruncation) {
        writing |= kFsTruncate;
    }
    LandlockRulesetAttributes attributes;
    attributes.handledFs = writing | kFsExecute;
    std::size_t size = sizeof attributes.handledFs;
    if (abi >= 4) {
        attributes.handledNet = kNetTcp;
        size += sizeof attributes.handledNet;
    }
    if (abi >= 6) {
        attributes.scoped = kScopes;
        size += sizeof attributes.scoped;
    }
    UniqueFd ruleset(
        static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attributes, size, 0)));
    if (!ruleset.valid()) {
        left.emplace_back("Landlock refused the ruleset");
        return false;
    }
    if (mode == ReaderMode::kStage) {
        std::error_code ec;
        std::filesystem::create_directories(stageFolder, ec);
        UniqueFd folder(::open(stageFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        landlock_path_beneath_attr beneath{};
        beneath.allowed_access = writing;
        beneath.parent_fd = folder.get();
        if (!folder.valid() || ::syscall(SYS_landlock_add_rule, ruleset.get(),
                                         LANDLOCK_RULE_PATH_BENEATH, &beneath, 0) != 0) {
            // Without the rule nothing could be staged: stay without Landlock instead.
            left.emplace_back("Landlock refused the staging folder");
            return false;
        }
    }
    if (::syscall(SYS_landlock_restrict_self, ruleset.get(), 0) != 0) {
        left.emplace_back("Landlock could not be applied");
        return false;
    }
    return true;
}

}  // namespace

std::uint8_t ApplySandbox(ReaderMode mode, const std::filesystem::path& stageFolder, int parent,
                          std::vector<std::string>& left) {
    std::uint8_t layers = 0;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) {
        std::_Exit(0);  // the parent went before the signal was asked for
    }
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    if (LimitAddressSpace(left)) {
        layers |= kAddressLimit;
    }
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        left.emplace_back("no_new_privs refused");
        return layers;  // neither Landlock nor seccomp go without it
    }
    if (ApplySeccomp(mode, left)) {
        layers |= kSeccomp;
    }
    const bool truncationRefused = (layers & kSeccomp) != 0 && mode == ReaderMode::kScan;
    if (ApplyLandlock(mode, stageFolder, !truncationRefused, left)) {
        layers |= kLandlock;
    }
    return layers;
}

}  // namespace quillery
