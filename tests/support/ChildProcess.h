// Part of a core test run in a forked child, so that what it changes about the process (the
// user it runs as, the mounts it sees) ends with the child. Permission bits do not stop root,
// so a test of a folder that cannot be written runs its panel as an ordinary user; a full file
// system is a tiny tmpfs in a mount namespace of the child's own. No Qt in the child.
#pragma once

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

struct ChildOutcome {
  bool skipped = false;  // the set-up cannot be done on this machine; text says why
  std::string text;      // what the body returned, or how the child ended when it did not return
};

// Runs `setUp` in a fresh child: an empty text when done, else why it cannot be done here.
// Then `body`, whose text comes back to the test.
inline ChildOutcome InChild(const std::function<std::string()>& setUp, const std::function<std::string()>& body) {
  int channel[2];
  if (::pipe(channel) != 0) return {false, std::string("no pipe: ") + std::strerror(errno)};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    const std::string whyNot = setUp();
    const std::string text = whyNot.empty() ? body() : whyNot;
    for (std::size_t done = 0; done < text.size();) {
      const ssize_t n = ::write(channel[1], text.data() + done, text.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::_exit(whyNot.empty() ? 0 : 2);
  }
  ::close(channel[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(n));
  ::close(channel[0]);
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return {false, "the child could not be started"};
  if (WIFEXITED(status) && WEXITSTATUS(status) == 2) return {true, text};
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return {false, "the child ended with status " + std::to_string(status) + " after: " + text};
  return {false, text};
}

// As root: become nobody (uid and gid 65534, no supplementary groups). Otherwise nothing to do.
inline std::string DropPrivileges() {
  if (::geteuid() != 0) return {};
  if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
    return std::string("cannot give up root's privileges here: ") + std::strerror(errno);
  return {};
}

// An 8 KiB tmpfs over the folder `at`, seen by this child alone.
inline std::string MountSmallFileSystem(const std::string& at) {
  if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      ::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=8k") != 0)
    return std::string("cannot mount a small tmpfs here: ") + std::strerror(errno);
  return {};
}
