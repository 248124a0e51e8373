// A fault injector loaded with LD_PRELOAD into a program that writes Kura tables.
//
// It counts the "points" at which the program changes files under one directory: every
// write/pwrite/pwritev, every truncate, fallocate, rename, unlink, and every open that creates or
// cuts a file. Controlled by the environment:
//   KURA_FAULT_DIR    only files whose path starts with this directory count (required)
//   KURA_FAULT_MODE   count  - only count; the number of points and, on a second line, the
//                              number of syncs are written to KURA_FAULT_OUT at exit
//                     crash  - _exit(KURA_FAULT_EXIT) just before point KURA_FAULT_AT
//                     torn   - as crash, but a write at that point first writes half its bytes
//                     full   - from point KURA_FAULT_AT on the disk is full: nothing can make a
//                              file longer (writes, truncates and fallocates that would grow a
//                              file fail with ENOSPC); writes inside a file, cuts, renames and
//                              deletes still work, as on a real full disk
//                     eio    - the KURA_FAULT_AT-th sync (fsync / fdatasync of a file or of the
//                              directory) fails with EIO; everything else works
//   KURA_FAULT_AT     the 1-based point (eio: the 1-based sync)
//   KURA_FAULT_OUT    count mode: file that receives the number of points
//   KURA_FAULT_EXIT   exit status of a stopped process (default 86)
//   KURA_FAULT_DENY_CREATE  a file name ending (".JNL"): making a new file whose name ends so
//                     fails with EACCES, as in a directory that takes no new files
//   KURA_FAULT_LOG    a file that receives one line per change and sync, in order, with names
//                     relative to KURA_FAULT_DIR ("." for the directory itself):
//                       W name offset length at  a write; at: where its bytes lie in
//                                                KURA_FAULT_DATA (-1 without that file)
//                       T name size              ftruncate (a cut or a growth)
//                       A name size              fallocate (the file grows to size at least)
//                       C name                   a file made (or cut to 0) by an open
//                       R from to                a rename
//                       U name                   an unlink
//                       S name                   a sync (fsync, fdatasync) that succeeded
// Syncs are not points: stopping and full-disk runs see the same points with and without them.
// A process that reaches no fault runs normally.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

enum { ModeNone, ModeCount, ModeCrash, ModeTorn, ModeFull, ModeEio };

static int g_mode = ModeNone;
static long g_at = 0;
static long g_points = 0;
static int g_exit = 86;
static char g_dir[PATH_MAX];
static size_t g_dirLength = 0;
static char g_out[PATH_MAX];
static int g_ready = 0;
static char g_denyCreate[64];
static long g_syncs = 0;
static int g_log = -1;
static int g_data = -1;
static long long g_dataSize = 0;

static void Setup(void) {
  if (g_ready) return;
  g_ready = 1;
  const char *dir = getenv("KURA_FAULT_DIR");
  const char *mode = getenv("KURA_FAULT_MODE");
  if (!dir || !mode) return;
  char resolved[PATH_MAX];
  if (!realpath(dir, resolved)) return;
  snprintf(g_dir, sizeof g_dir, "%s/", resolved);
  g_dirLength = strlen(g_dir);
  if (strcmp(mode, "count") == 0) g_mode = ModeCount;
  else if (strcmp(mode, "crash") == 0) g_mode = ModeCrash;
  else if (strcmp(mode, "torn") == 0) g_mode = ModeTorn;
  else if (strcmp(mode, "full") == 0) g_mode = ModeFull;
  else if (strcmp(mode, "eio") == 0) g_mode = ModeEio;
  const char *at = getenv("KURA_FAULT_AT");
  g_at = at ? atol(at) : 0;
  const char *code = getenv("KURA_FAULT_EXIT");
  if (code) g_exit = atoi(code);
  const char *deny = getenv("KURA_FAULT_DENY_CREATE");
  if (deny) snprintf(g_denyCreate, sizeof g_denyCreate, "%s", deny);
  const char *out = getenv("KURA_FAULT_OUT");
  if (out) snprintf(g_out, sizeof g_out, "%s", out);
  const char *log = getenv("KURA_FAULT_LOG");
  if (log) g_log = (int)syscall(SYS_openat, AT_FDCWD, log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  const char *data = getenv("KURA_FAULT_DATA");
  if (data) g_data = (int)syscall(SYS_openat, AT_FDCWD, data, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

__attribute__((destructor)) static void WriteCount(void) {
  if (g_mode != ModeCount || !g_out[0]) return;
  char text[32];
  int n = snprintf(text, sizeof text, "%ld\n%ld\n", g_points, g_syncs);
  int fd = (int)syscall(SYS_openat, AT_FDCWD, g_out, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  if (syscall(SYS_write, fd, text, (size_t)n) < 0) {
  }
  syscall(SYS_close, fd);
}

// The name of a descriptor's file relative to the directory ("." for the directory), or 0.
static const char *FdName(int fd, char *path, size_t size) {
  Setup();
  if (g_mode == ModeNone || fd < 0) return 0;
  char link[64];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t n = readlink(link, path, size - 1);
  if (n <= 0) return 0;
  path[n] = 0;
  if (path[0] != '/') return 0;
  if (strncmp(path, g_dir, g_dirLength) == 0) return path + g_dirLength;
  if ((size_t)n + 1 == g_dirLength && strncmp(path, g_dir, (size_t)n) == 0) return ".";
  return 0;
}

static int WatchedFd(int fd) {
  char path[PATH_MAX];
  const char *name = FdName(fd, path, sizeof path);
  return name && strcmp(name, ".") != 0;
}

// The name of a path relative to the directory (the path need not exist), or 0.
static const char *PathName(const char *path, char *out, size_t size) {
  if (!path) return 0;
  char full[PATH_MAX], parent[PATH_MAX], resolved[PATH_MAX];
  if (path[0] == '/') {
    snprintf(full, sizeof full, "%s", path);
  } else {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return 0;
    snprintf(full, sizeof full, "%s/%s", cwd, path);
  }
  char *slash = strrchr(full, '/');
  snprintf(parent, sizeof parent, "%.*s", (int)(slash - full), full);
  if (!realpath(parent[0] ? parent : "/", resolved)) return 0;
  snprintf(out, size, "%s/%s", resolved, slash + 1);
  if (strncmp(out, g_dir, g_dirLength) != 0) return 0;
  return out + g_dirLength;
}

// Whether a path (which need not exist) lies in the watched directory.
static int Watched(const char *path) {
  Setup();
  if (g_mode == ModeNone) return 0;
  char name[PATH_MAX];
  return PathName(path, name, sizeof name) != 0;
}

static void LogLine(const char *format, ...) {
  if (g_log < 0) return;
  char line[2 * PATH_MAX + 64];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n > 0 && syscall(SYS_write, g_log, line, (size_t)(n < (int)sizeof line ? n : (int)sizeof line - 1)) < 0) {
  }
}

// op name [a [b]] for a descriptor (with_values: 0, 1 or 2 numbers).
static void LogFd(int fd, char op, int values, long long a, long long b) {
  if (g_log < 0) return;
  char path[PATH_MAX];
  const char *name = FdName(fd, path, sizeof path);
  if (!name) return;
  if (values == 2) LogLine("%c %s %lld %lld\n", op, name, a, b);
  else if (values == 1) LogLine("%c %s %lld\n", op, name, a);
  else LogLine("%c %s\n", op, name);
}

static void LogWrite(int fd, off_t offset, const struct iovec *vector, int count) {
  if (g_log < 0) return;
  char path[PATH_MAX];
  const char *name = FdName(fd, path, sizeof path);
  if (!name) return;
  long long total = 0, at = -1;
  for (int i = 0; i < count; ++i) total += (long long)vector[i].iov_len;
  if (g_data >= 0) {
    at = g_dataSize;
    for (int i = 0; i < count; ++i) {
      if (syscall(SYS_write, g_data, vector[i].iov_base, vector[i].iov_len) < 0) {
      }
    }
    g_dataSize += total;
  }
  LogLine("W %s %lld %lld %lld\n", name, (long long)offset, total, at);
}

static void LogPath(char op, const char *a, const char *b) {
  if (g_log < 0) return;
  char bufferA[PATH_MAX], bufferB[PATH_MAX];
  const char *nameA = PathName(a, bufferA, sizeof bufferA);
  const char *nameB = b ? PathName(b, bufferB, sizeof bufferB) : 0;
  if (!nameA && !nameB) return;
  if (b) LogLine("%c %s %s\n", op, nameA ? nameA : "-", nameB ? nameB : "-");
  else LogLine("%c %s\n", op, nameA);
}

static off_t FileSize(int fd) {
  struct stat info;
  return fstat(fd, &info) == 0 ? info.st_size : 0;
}

// What happens at a point: 0 go on, 1 stop after a torn write (handled by the caller),
// -1 fail with ENOSPC when the call would grow a file (decided by the caller).
enum { GoOn, TearIt, DiskFull };

static int Point(void) {
  ++g_points;
  switch (g_mode) {
    case ModeCrash:
      if (g_points == g_at) _exit(g_exit);
      break;
    case ModeTorn:
      if (g_points == g_at) return TearIt;
      break;
    case ModeFull:
      if (g_points >= g_at) return DiskFull;
      break;
  }
  return GoOn;
}

#define REAL(name, type) \
  static type real_##name; \
  if (!real_##name) real_##name = (type)dlsym(RTLD_NEXT, #name)

typedef ssize_t (*write_t)(int, const void *, size_t);
typedef ssize_t (*pwrite_t)(int, const void *, size_t, off_t);
typedef ssize_t (*writev_t)(int, const struct iovec *, int);
typedef ssize_t (*pwritev_t)(int, const struct iovec *, int, off_t);
typedef int (*ftruncate_t)(int, off_t);
typedef int (*rename_t)(const char *, const char *);
typedef int (*renameat2_t)(int, const char *, int, const char *, unsigned);
typedef int (*unlink_t)(const char *);
typedef int (*unlinkat_t)(int, const char *, int);
typedef int (*fallocate_t)(int, int, off_t, off_t);
typedef int (*posix_fallocate_t)(int, off_t, off_t);
typedef int (*open_t)(const char *, int, ...);
typedef int (*openat_t)(int, const char *, int, ...);

static ssize_t PositionedWrite(int fd, const void *buffer, size_t count, off_t offset, int positioned) {
  REAL(write, write_t);
  REAL(pwrite, pwrite_t);
  if (WatchedFd(fd)) {
    struct iovec piece = {(void *)buffer, count};
    LogWrite(fd, positioned ? offset : lseek(fd, 0, SEEK_CUR), &piece, 1);
    int what = Point();
    if (what == TearIt) {
      size_t half = count / 2;
      if (half > 0) {
        if (positioned) real_pwrite(fd, buffer, half, offset);
        else real_write(fd, buffer, half);
      }
      _exit(g_exit);
    }
    if (what == DiskFull) {
      off_t at = positioned ? offset : lseek(fd, 0, SEEK_CUR);
      if (count > 0 && at + (off_t)count > FileSize(fd)) {
        errno = ENOSPC;
        return -1;
      }
    }
  }
  return positioned ? real_pwrite(fd, buffer, count, offset) : real_write(fd, buffer, count);
}

ssize_t write(int fd, const void *buffer, size_t count) { return PositionedWrite(fd, buffer, count, 0, 0); }
ssize_t pwrite(int fd, const void *buffer, size_t count, off_t offset) {
  return PositionedWrite(fd, buffer, count, offset, 1);
}
ssize_t pwrite64(int fd, const void *buffer, size_t count, off_t offset) {
  return PositionedWrite(fd, buffer, count, offset, 1);
}

ssize_t writev(int fd, const struct iovec *vector, int count) {
  REAL(writev, writev_t);
  if (WatchedFd(fd)) {
    size_t total = 0;
    for (int i = 0; i < count; ++i) total += vector[i].iov_len;
    LogWrite(fd, lseek(fd, 0, SEEK_CUR), vector, count);
    int what = Point();
    if (what == TearIt) _exit(g_exit);
    if (what == DiskFull && lseek(fd, 0, SEEK_CUR) + (off_t)total > FileSize(fd)) {
      errno = ENOSPC;
      return -1;
    }
  }
  return real_writev(fd, vector, count);
}

// A gathered positioned write: torn after half its bytes, like a single one.
static ssize_t GatheredWrite(int fd, const struct iovec *vector, int count, off_t offset) {
  REAL(pwritev, pwritev_t);
  REAL(pwrite, pwrite_t);
  if (WatchedFd(fd)) {
    size_t total = 0;
    for (int i = 0; i < count; ++i) total += vector[i].iov_len;
    LogWrite(fd, offset, vector, count);
    int what = Point();
    if (what == TearIt) {
      size_t left = total / 2;
      off_t at = offset;
      for (int i = 0; i < count && left > 0; ++i) {
        size_t n = vector[i].iov_len < left ? vector[i].iov_len : left;
        real_pwrite(fd, vector[i].iov_base, n, at);
        at += (off_t)n;
        left -= n;
      }
      _exit(g_exit);
    }
    if (what == DiskFull && total > 0 && offset + (off_t)total > FileSize(fd)) {
      errno = ENOSPC;
      return -1;
    }
  }
  return real_pwritev(fd, vector, count, offset);
}

ssize_t pwritev(int fd, const struct iovec *vector, int count, off_t offset) {
  return GatheredWrite(fd, vector, count, offset);
}
ssize_t pwritev64(int fd, const struct iovec *vector, int count, off_t offset) {
  return GatheredWrite(fd, vector, count, offset);
}

static int Grow(int fd, off_t size, int *result, char op) {
  if (!WatchedFd(fd)) return 0;
  LogFd(fd, op, 1, (long long)size, 0);
  int what = Point();
  if (what == TearIt) _exit(g_exit);
  if (what == DiskFull && size > FileSize(fd)) {
    errno = ENOSPC;
    *result = -1;
    return 1;
  }
  return 0;
}

int ftruncate(int fd, off_t size) {
  REAL(ftruncate, ftruncate_t);
  int result = 0;
  if (Grow(fd, size, &result, 'T')) return result;
  return real_ftruncate(fd, size);
}
int ftruncate64(int fd, off_t size) { return ftruncate(fd, size); }

int fallocate(int fd, int mode, off_t offset, off_t length) {
  REAL(fallocate, fallocate_t);
  int result = 0;
  if (Grow(fd, offset + length, &result, 'A')) return result;
  return real_fallocate(fd, mode, offset, length);
}
int fallocate64(int fd, int mode, off_t offset, off_t length) { return fallocate(fd, mode, offset, length); }

int posix_fallocate(int fd, off_t offset, off_t length) {
  REAL(posix_fallocate, posix_fallocate_t);
  int result = 0;
  if (Grow(fd, offset + length, &result, 'A')) return ENOSPC;
  return real_posix_fallocate(fd, offset, length);
}
int posix_fallocate64(int fd, off_t offset, off_t length) { return posix_fallocate(fd, offset, length); }

static void NamePoint(const char *a, const char *b) {
  if (Watched(a) || Watched(b)) {
    LogPath(b ? 'R' : 'U', a, b);
    int what = Point();
    if (what == TearIt) _exit(g_exit);
  }
}

int rename(const char *from, const char *to) {
  REAL(rename, rename_t);
  NamePoint(from, to);
  return real_rename(from, to);
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned flags) {
  REAL(renameat2, renameat2_t);
  NamePoint(from, to);
  return real_renameat2(fromDir, from, toDir, to, flags);
}

int unlink(const char *path) {
  REAL(unlink, unlink_t);
  NamePoint(path, NULL);
  return real_unlink(path);
}

int unlinkat(int dir, const char *path, int flags) {
  REAL(unlinkat, unlinkat_t);
  NamePoint(path, NULL);
  return real_unlinkat(dir, path, flags);
}

// An open that makes a new file or cuts one is a point too. Returns 0 when the open is refused.
static int OpenPoint(const char *path, int flags) {
  if (!(flags & (O_CREAT | O_TRUNC)) || !Watched(path)) return 1;
  struct stat info;
  const int exists = stat(path, &info) == 0;
  if (!exists && g_denyCreate[0]) {
    const size_t length = strlen(path), ending = strlen(g_denyCreate);
    if (length >= ending && strcasecmp(path + length - ending, g_denyCreate) == 0) {
      errno = EACCES;
      return 0;
    }
  }
  if (exists && !(flags & O_TRUNC)) return 1;
  LogPath('C', path, 0);
  int what = Point();
  if (what == TearIt) _exit(g_exit);
  return 1;
}

int open(const char *path, int flags, ...) {
  REAL(open, open_t);
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list args;
    va_start(args, flags);
    mode = (mode_t)va_arg(args, int);
    va_end(args);
  }
  if (!OpenPoint(path, flags)) return -1;
  return real_open(path, flags, mode);
}
int open64(const char *path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list args;
    va_start(args, flags);
    mode = (mode_t)va_arg(args, int);
    va_end(args);
  }
  return open(path, flags, mode);
}

int openat(int dir, const char *path, int flags, ...) {
  REAL(openat, openat_t);
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list args;
    va_start(args, flags);
    mode = (mode_t)va_arg(args, int);
    va_end(args);
  }
  if ((dir == AT_FDCWD || (path && path[0] == '/')) && !OpenPoint(path, flags)) return -1;
  return real_openat(dir, path, flags, mode);
}

// Syncs: counted, logged when they succeed, failed with EIO at the chosen one.
typedef int (*sync_t)(int);

static int Sync(int fd, sync_t real) {
  char path[PATH_MAX];
  const char *name = FdName(fd, path, sizeof path);
  if (name) {
    ++g_syncs;
    if (g_mode == ModeEio && g_syncs == g_at) {
      errno = EIO;
      return -1;
    }
  }
  const int result = real(fd);
  if (name && result == 0) LogFd(fd, 'S', 0, 0, 0);
  return result;
}

int fsync(int fd) {
  REAL(fsync, sync_t);
  return Sync(fd, real_fsync);
}

int fdatasync(int fd) {
  REAL(fdatasync, sync_t);
  return Sync(fd, real_fdatasync);
}
