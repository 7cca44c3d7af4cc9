// Preloaded into a process to make it behave as on exFAT or FAT mounted
// through FUSE: no RENAME_NOREPLACE and no hard links.
#include <cerrno>

extern "C" {

int renameat2(int, const char*, int, const char*, unsigned int)
{
    errno = EINVAL;
    return -1;
}

int link(const char*, const char*)
{
    errno = EPERM;
    return -1;
}

int linkat(int, const char*, int, const char*, int)
{
    errno = EPERM;
    return -1;
}

} // extern "C"
