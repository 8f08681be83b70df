#include "platform/datasets/lock_holders.h"

#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace platform::ds {
namespace {

// The ids a process's access to files is checked with.
struct Ids {
  unsigned uid = 0, gid = 0;
  std::vector<unsigned> groups;
};

// The file system ids of process `pid` (the fourth of each id line of its
// status); false when they cannot be read (the process is gone, or hidden).
bool ids_of(const std::string& pid, Ids* ids) {
  std::ifstream status("/proc/" + pid + "/status");
  bool uid = false, gid = false;
  for (std::string line; std::getline(status, line);) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    unsigned id[4] = {};
    if (key == "Uid:") uid = static_cast<bool>(words >> id[0] >> id[1] >> id[2] >> id[3]), ids->uid = id[3];
    if (key == "Gid:") gid = static_cast<bool>(words >> id[0] >> id[1] >> id[2] >> id[3]), ids->gid = id[3];
    if (key == "Groups:")
      for (unsigned group; words >> group;) ids->groups.push_back(group);
  }
  return uid && gid;
}

// In a sticky folder (/tmp) only root, the folder's owner and this user
// may replace this user's data sets there.
bool may_write(const Ids& ids, const struct stat& folder) {
  if (ids.uid == 0) return true;
  if ((folder.st_mode & S_ISVTX) && ids.uid != folder.st_uid && ids.uid != ::geteuid())
    return false;
  if (ids.uid == folder.st_uid) return folder.st_mode & S_IWUSR;
  const bool member = ids.gid == folder.st_gid ||
                      std::find(ids.groups.begin(), ids.groups.end(), folder.st_gid) != ids.groups.end();
  return folder.st_mode & (member ? S_IWGRP : S_IWOTH);
}

}  // namespace

bool writer_holds_lock(const struct stat& folder) {
  std::ifstream locks("/proc/locks");
  if (!locks) return true;
  for (std::string line; std::getline(locks, line);) {
    // "1: FLOCK  ADVISORY  WRITE 1234 fd:00:5678 0 EOF"; a request that
    // waits has "->" before its kind and holds nothing.
    std::istringstream words(line);
    std::string number, kind, advisory, mode, pid, file;
    if (!(words >> number >> kind >> advisory >> mode >> pid >> file) || kind != "FLOCK") continue;
    // The file as major:minor:inode, the device's numbers in hexadecimal.
    unsigned major_number = 0, minor_number = 0;
    unsigned long inode = 0;
    if (std::sscanf(file.c_str(), "%x:%x:%lu", &major_number, &minor_number, &inode) != 3 ||
        major_number != major(folder.st_dev) || minor_number != minor(folder.st_dev) || inode != folder.st_ino)
      continue;
    // A holder whose ids cannot be read is passed by: a process that took
    // the lock and left it to a child of its own, say.
    if (Ids ids; ids_of(pid, &ids) && may_write(ids, folder)) return true;
  }
  return false;
}

}  // namespace platform::ds
