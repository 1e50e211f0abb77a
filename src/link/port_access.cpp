#include "link/port_access.h"

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "link/fill_in.h"
#include "link/link_texts.h"
#include "link/port_discovery.h"

namespace heatdiag {
namespace {

namespace fs = std::filesystem;

// Where programs that use UUCP lock files leave them ("LCK..ttyUSB0").
constexpr const char* kLockFolders[] = {"/run/lock", "/var/lock"};

std::string ProcessName(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

bool ProcessAlive(int pid) {
  return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

void NameHolder(int pid, PortOpenError& why) {
  why.holderPid = pid;
  why.holder = ProcessName(pid);
}

// The live process of a UUCP lock file on the device; 0 when there is none.
int LockFileHolder(const std::string& resolvedDevice) {
  const std::string name = fs::path(resolvedDevice).filename().string();
  if (name.empty()) return 0;
  for (const char* folder : kLockFolders) {
    std::ifstream in(std::string(folder) + "/LCK.." + name);
    long pid = 0;
    // The usual (HDB) form: the process id as text.
    if (!in || !(in >> pid)) continue;
    if (pid > 0 && pid != getpid() && pid <= 0x7FFFFFFF && ProcessAlive(static_cast<int>(pid)))
      return static_cast<int>(pid);
  }
  return 0;
}

std::string GroupName(gid_t gid) {
  std::vector<char> buffer(4096);
  group entry{};
  group* result = nullptr;
  if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &result) != 0 || result == nullptr)
    return std::to_string(gid);
  return entry.gr_name;
}

// Whether the user database puts the user into the group (which the running session may not
// know yet: group changes take effect at the next login).
bool UserListedInGroup(gid_t gid) {
  std::vector<char> buffer(4096);
  passwd entry{};
  passwd* result = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &result) != 0 ||
      result == nullptr)
    return false;
  int count = 64;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  if (getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count) < 0) {
    groups.resize(static_cast<std::size_t>(count));
    if (getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count) < 0) return false;
  }
  groups.resize(static_cast<std::size_t>(count));
  return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

bool SessionHasGroup(gid_t gid) {
  if (getegid() == gid) return true;
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = getgroups(count, groups.data());
  if (got < 0) return false;
  groups.resize(static_cast<std::size_t>(got));
  return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

std::string PermissionText(const std::string& device) {
  struct stat st {};
  if (stat(device.c_str(), &st) != 0 || st.st_gid == 0)
    return FillIn(kTextPortPermissionAdmin, {device});
  const std::string group = GroupName(st.st_gid);
  if (UserListedInGroup(st.st_gid) && !SessionHasGroup(st.st_gid))
    return FillIn(kTextPortPermissionRelogin, {device, group});
  return FillIn(kTextPortPermission, {device, group, group});
}

std::string PresentPortsText() {
  const std::vector<PortInfo> ports = DiscoverPorts();
  if (ports.empty()) return LoadString(kTextNoPortsPresent);
  std::string list;
  for (const PortInfo& port : ports) {
    if (!list.empty()) list += ", ";
    list += port.device;
    const std::string adapter = AdapterDescription(port);
    if (!adapter.empty()) list += " (" + adapter + ")";
  }
  return FillIn(kTextPortsPresent, {list});
}

}  // namespace

PortFailure ClassifyOpenError(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return PortFailure::kNoSuchDevice;
    case EACCES:
    case EPERM:
    case EROFS:
      return PortFailure::kPermissionDenied;
    case EBUSY:
      return PortFailure::kInUse;
    default:
      return PortFailure::kOther;
  }
}

bool ClaimDevice(int fd, const std::string& resolvedDevice, PortOpenError& why) {
  // The advisory lock is released with the descriptor, also when the program dies.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    why.failure = PortFailure::kInUse;
    why.error = EWOULDBLOCK;
    FindHolder(resolvedDevice, why);
    return false;
  }
  if (const int pid = LockFileHolder(resolvedDevice); pid != 0) {
    why.failure = PortFailure::kInUse;
    why.error = 0;
    NameHolder(pid, why);
    return false;
  }
  return true;
}

void FindHolder(const std::string& resolvedDevice, PortOpenError& why) {
  std::error_code ec;
  const fs::path wanted = fs::weakly_canonical(resolvedDevice, ec);
  if (ec) return;
  const int self = getpid();
  fs::directory_iterator processes("/proc", ec);
  if (ec) return;
  for (const fs::directory_entry& process : processes) {
    const std::string name = process.path().filename().string();
    if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) {
          return std::isdigit(static_cast<unsigned char>(c)) != 0;
        }))
      continue;
    if (name.size() > 9) continue;
    const int pid = std::stoi(name);
    if (pid == self) continue;
    // Processes of other users cannot be looked into; they are skipped.
    fs::directory_iterator fds(process.path() / "fd", ec);
    if (ec) {
      ec.clear();
      continue;
    }
    for (const fs::directory_entry& fd : fds) {
      const fs::path target = fs::read_symlink(fd.path(), ec);
      if (!ec && target == wanted) {
        NameHolder(pid, why);
        return;
      }
      ec.clear();
    }
  }
}

namespace {

std::string ReadFirstLine(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())) != 0)
    line.pop_back();
  return line;
}

bool WriteAttribute(const std::string& file, const std::string& value) {
  // A sysfs attribute takes the value in one write, or refuses it.
  std::ofstream out(file, std::ios::out | std::ios::trunc);
  if (!out) return false;
  out << value << '\n';
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace

LatencyTimer LowerLatencyTimer(const std::string& file, std::string& before) {
  before = ReadFirstLine(file);
  if (before.empty()) return LatencyTimer::kNone;
  if (before == "0" || before == "1") return LatencyTimer::kFastAlready;
  if (WriteAttribute(file, "1") && ReadFirstLine(file) == "1") return LatencyTimer::kLowered;
  return LatencyTimer::kStaysSlow;
}

void RestoreLatencyTimer(const std::string& file, const std::string& before) {
  if (!before.empty()) (void)WriteAttribute(file, before);
}

std::string DescribePortError(const PortOpenError& why) {
  const std::string& device = why.device;
  switch (why.failure) {
    case PortFailure::kNone:
      return {};
    case PortFailure::kBadSettings:
      return LoadString(kTextPortBadSettings);
    case PortFailure::kNoSuchDevice:
      return FillIn(kTextPortNoSuchDevice, {device}) + "\n" + PresentPortsText();
    case PortFailure::kPermissionDenied:
      return PermissionText(device);
    case PortFailure::kInUse: {
      const std::string holder =
          why.holder.empty() && why.holderPid == 0
              ? std::string()
              : FillIn(kTextPortHolder, {why.holder, std::to_string(why.holderPid)});
      return FillIn(kTextPortInUse, {device, holder});
    }
    case PortFailure::kHeldHere:
      return FillIn(kTextPortHeldHere, {device});
    case PortFailure::kNotATerminal:
      return FillIn(kTextPortNotTerminal, {device});
    case PortFailure::kConfiguration:
      return FillIn(kTextPortConfiguration, {device});
    case PortFailure::kOther:
      break;
  }
  return FillIn(kTextPortSystemError, {device, std::strerror(why.error)});
}

}  // namespace heatdiag
