// Replacing a file as a whole: the new content goes into a temporary file
// beside it, which is renamed over the file once complete, so a reader sees
// the old file or the new one and a power cut leaves one of them.
#ifndef CAMNET_COMMON_FILE_REPLACE_H
#define CAMNET_COMMON_FILE_REPLACE_H

class FileReplace {
public:
    // Longest path handled (the target after its links, and its temporary).
    static constexpr int path_max = 1024;

    FileReplace() = default;
    // Removes the temporary file unless it was committed.
    ~FileReplace();
    FileReplace(const FileReplace &) = delete;
    FileReplace &operator=(const FileReplace &) = delete;

    // Follows the symbolic links of `path` (a rename would replace the link,
    // not the file it leads to) and creates the temporary file in the folder
    // of that file: private while an old file is there, else 0666 less the
    // umask. Once per object; 0 or the errno.
    int begin(const char *path);

    // The temporary file, to write the new content to.
    int fd() const { return fd_; }
    // The file being replaced, after its links.
    const char *target() const { return target_; }
    // Its folder, open for reading; -1 when the folder may be written but not
    // read, which only leaves out the fsync of the rename.
    int folder_fd() const { return folder_fd_; }

    // Gives the content the owner and mode of the target as it is now (if
    // there is one), flushes it to the disk, renames it over the target and
    // makes the rename durable. 0 or the errno; on failure the target is
    // untouched.
    int commit();

private:
    char target_[path_max] = {};
    char temp_[path_max] = {};
    int fd_ = -1;
    int folder_fd_ = -1;
    int slot_ = -1;         // the number in the temporary's name, while it is ours
    bool created_ = false;  // the temporary is there, not yet renamed
};

#endif
