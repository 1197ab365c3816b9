/* The head of the program's AppImage: an ELF program followed by a squashfs image of the AppDir. It
 * mounts the image (FUSE, through squashfuse's library), runs the image's AppRun with APPIMAGE, APPDIR
 * and ARGV0 set, passes on the signals that end a program, and unmounts when AppRun is done.
 * "--appimage-offset" prints where the image starts; "--appimage-version" says which runtime this is, once
 * the image opens, and runs nothing: the updater's harmless check of a download. */

#define _GNU_SOURCE
#include <ll.h>

#include <elf.h>
#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

static pid_t s_app = -1;

static void forward(int signal)
{
    if (s_app > 0)
        kill(s_app, signal);
}

/* The image starts where the ELF file ends: its section headers come last. */
static long imageOffset(const char* path)
{
    Elf64_Ehdr header;
    FILE* file = fopen(path, "rb");
    if (!file)
        return -1;
    const size_t read = fread(&header, 1, sizeof header, file);
    fclose(file);
    if (read != sizeof header || memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64)
        return -1;
    return (long)(header.e_shoff + (Elf64_Off)header.e_shentsize * header.e_shnum);
}

/* Serves the image at the mount point until told to stop; reports the mount on ready. */
static int serve(sqfs_ll* ll, const char* argv0, const char* mountPoint, int ready)
{
    struct fuse_lowlevel_ops ops;
    memset(&ops, 0, sizeof ops);
    ops.getattr = sqfs_ll_op_getattr;
    ops.opendir = sqfs_ll_op_opendir;
    ops.releasedir = sqfs_ll_op_releasedir;
    ops.readdir = sqfs_ll_op_readdir;
    ops.lookup = sqfs_ll_op_lookup;
    ops.open = sqfs_ll_op_open;
    ops.create = sqfs_ll_op_create;
    ops.release = sqfs_ll_op_release;
    ops.read = sqfs_ll_op_read;
    ops.readlink = sqfs_ll_op_readlink;
    ops.listxattr = sqfs_ll_op_listxattr;
    ops.getxattr = sqfs_ll_op_getxattr;
    ops.forget = sqfs_ll_op_forget;
    ops.statfs = stfs_ll_op_statfs;

    char* args[] = {(char*)argv0, "-o", "ro,nodev,nosuid", NULL};
    struct fuse_args fuseArgs = FUSE_ARGS_INIT(3, args);
    struct fuse_session* session = fuse_session_new(&fuseArgs, &ops, sizeof ops, ll);
    if (!session || fuse_set_signal_handlers(session) != 0 || fuse_session_mount(session, mountPoint) != 0)
        return 1;
    if (write(ready, "1", 1) != 1)
        return 1;
    close(ready);
    fuse_session_loop(session);
    fuse_session_unmount(session);
    fuse_remove_signal_handlers(session);
    fuse_session_destroy(session);
    return 0;
}

int main(int argc, char* argv[])
{
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        perror("AppImage: /proc/self/exe");
        return 127;
    }
    self[length] = '\0';
    const long offset = imageOffset(self);
    if (argc > 1 && strcmp(argv[1], "--appimage-offset") == 0) {
        printf("%ld\n", offset);
        return offset < 0;
    }
    sqfs_ll* ll = offset < 0 ? NULL : sqfs_ll_open(self, (size_t)offset);
    if (!ll) {
        fprintf(stderr, "AppImage: %s holds no squashfs image after its runtime\n", self);
        return 127;
    }
    if (argc > 1 && strcmp(argv[1], "--appimage-version") == 0) {
        printf("Zorvane AppImage runtime 1\n");
        sqfs_ll_destroy(ll);
        return 0;
    }

    const char* tmp = getenv("TMPDIR") && *getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp";
    char mountPoint[PATH_MAX];
    snprintf(mountPoint, sizeof mountPoint, "%s/.mount_zorvaneXXXXXX", tmp);
    int ready[2];
    if (!mkdtemp(mountPoint) || pipe(ready) != 0) {
        perror("AppImage: mount point");
        return 127;
    }
    const pid_t server = fork();
    if (server == 0) {
        close(ready[0]);
        _exit(serve(ll, argv[0], mountPoint, ready[1]));
    }
    close(ready[1]);
    char mounted = 0;
    while (read(ready[0], &mounted, 1) < 0 && errno == EINTR) {
    }
    close(ready[0]);
    if (server < 0 || mounted != '1') {
        fprintf(stderr, "AppImage: cannot mount the image at %s (FUSE and fusermount3 are needed)\n",
                mountPoint);
        if (server > 0)
            waitpid(server, NULL, 0);
        rmdir(mountPoint);
        return 127;
    }

    char appRun[PATH_MAX + sizeof "/AppRun"];
    snprintf(appRun, sizeof appRun, "%s/AppRun", mountPoint);
    setenv("APPIMAGE", self, 1);
    setenv("APPDIR", mountPoint, 1);
    setenv("ARGV0", argv[0], 1);
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = forward;
    for (const int* signal = (const int[]){SIGTERM, SIGINT, SIGHUP, SIGQUIT, 0}; *signal; ++signal)
        sigaction(*signal, &action, NULL);
    s_app = fork();
    if (s_app == 0) {
        argv[0] = appRun;
        execv(appRun, argv);
        perror(appRun);
        _exit(127);
    }
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(s_app, &status, 0)) < 0 && errno == EINTR) {
    }
    kill(server, SIGTERM);
    while (waitpid(server, NULL, 0) < 0 && errno == EINTR) {
    }
    rmdir(mountPoint);
    if (s_app < 0 || waited != s_app)
        return 127;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
