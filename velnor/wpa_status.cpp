#include "velnor/wpa_status.h"

#include <cstring>

bool wpa_line_completed(const char *line)
{
    // The widths keep a long key or value inside its field; a key cut short
    // cannot read as "wpa_state", and a cut value cannot read as "COMPLETED".
    char key[16] = {};
    char value[32] = {};
    if (sscanf(line, "%15[^=]=%31[^'\n]", key, value) != 2) {
        return false;
    }
    return strcmp(key, "wpa_state") == 0 && strcmp(value, "COMPLETED") == 0;
}

int read_wpa_status(FILE *output)
{
    char line[1024] = {};
    if (fgets(line, sizeof line, output) == nullptr) {
        return 0;
    }
    while (fgets(line, sizeof line, output) != nullptr) {
        size_t length = strlen(line);
        if (length > 0 && line[length - 1] == '\n') {
            line[length - 1] = '\0';
        }
        if (wpa_line_completed(line)) {
            return 1;
        }
    }
    return 0;
}
