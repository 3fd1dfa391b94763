/* The bundle's executable: starts the downloader kept beside it where this system can run it,
 * and otherwise tells the user so, in the downloader's own words, instead of the loader's. */
#include "alert.h"
#include "floor.h"
#include "texts.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef QBY_PROGRAM_NAME
#error "QBY_PROGRAM_NAME (the downloader's file name beside the launcher) is not set"
#endif

static const char support_page[] = "https://www.quillbay.com/support/";

/* The downloader's path: the launcher's own folder (through /proc, or argv[0] where that is
 * not mounted) joined with its file name. */
static int program_path(const char* argv0, char* path, size_t size) {
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        self[length] = '\0';
    } else if (argv0 && strchr(argv0, '/') && strlen(argv0) < sizeof self) {
        strcpy(self, argv0);
    } else {
        return 0;
    }
    char* slash = strrchr(self, '/');
    *slash = '\0';
    return snprintf(path, size, "%s/%s", self, QBY_PROGRAM_NAME) < (int)size;
}

/* The support page in the user's browser; the launcher does not wait for it. */
static void open_support_page(void) {
    pid_t child = fork();
    if (child == 0) {
        /* A grandchild, so that the browser outlives the launcher without becoming a zombie. */
        if (fork() == 0) {
            execlp("xdg-open", "xdg-open", support_page, (char*)NULL);
            _exit(127);
        }
        _exit(0);
    }
    if (child > 0) waitpid(child, NULL, 0);
}

int main(int argc, char** argv) {
    (void)argc;
    if (qby_system_meets_floor()) {
        char path[PATH_MAX];
        if (!program_path(argv[0], path, sizeof path)) {
            fprintf(stderr, "QuillbayDownloader: cannot find its own folder\n");
            return 127;
        }
        execv(path, argv);
        fprintf(stderr, "QuillbayDownloader: cannot start %s: %s\n", path, strerror(errno));
        return 127;
    }
    const struct qby_too_old_texts* texts = qby_too_old_texts_for_environment();
    fprintf(stderr, "%s %s\n", texts->title, texts->message);
    if (qby_run_too_old_alert(texts) == QBY_ALERT_FIRST_BUTTON) open_support_page();
    return 1;
}
