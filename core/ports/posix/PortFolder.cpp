#include "ports/posix/PortFolder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <map>

int PortLinkNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 8 || name.compare(0, 3, "com") != 0 || name[3] == '0') return 0;
  int n = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    n = n * 10 + (name[i] - '0');
  }
  return n <= 65535 ? n : 0;
}

std::vector<PortInfo> ScanPortFolder(const std::string& folder) {
  std::map<int, std::string> links;  // number -> resolved device, ascending
  if (!PortFolderTrusted(folder)) return {};
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      int n = PortLinkNumber(entry->d_name);
      if (n == 0) continue;
      std::string path = folder + "/" + entry->d_name;
      struct stat st {};
      if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) continue;
      char resolved[PATH_MAX];
      if (!realpath(path.c_str(), resolved)) continue;
      links[n] = resolved;
    }
    closedir(dir);
  }
  std::vector<PortInfo> ports;
  for (const auto& link : links) {
    const std::string& device = link.second;
    bool seen = std::any_of(ports.begin(), ports.end(), [&](const PortInfo& p) { return p.Device == device; });
    if (!seen) ports.push_back({link.first, device, "", {}, {}});
  }
  return ports;
}
