#include "velnor/notify.h"

#include <errno.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <time.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr key_t queue_key = 1234;
constexpr int queue_permissions = 0666;
// A full queue is retried without blocking for about a second, so a consumer
// that stopped reading cannot hold the daemon.
constexpr int full_queue_tries = 100;
constexpr long full_queue_pause_ns = 10L * 1000L * 1000L;

// 0 when queued, else the errno of the last attempt.
int send_bounded(int msgid, const NetModeMessage &message)
{
    int full_tries = 0;
    for (;;) {
        if (msgsnd(msgid, &message, sizeof message.text, IPC_NOWAIT) == 0) {
            return 0;
        }
        int error = errno;
        if (error == EINTR) {
            continue;
        }
        if (error != EAGAIN || ++full_tries >= full_queue_tries) {
            return error;
        }
        timespec pause = {0, full_queue_pause_ns};
        nanosleep(&pause, nullptr);
    }
}

}  // namespace

int send_message_out(const char *text)
{
    if (text == nullptr) {
        printf("[%s, %d] error, null pointer !\n", "send_message_out", 16);
        return -1;
    }
    size_t length = strnlen(text, sizeof(NetModeMessage::text) - 1);
    printf("[%s, %d] message: %s, len: %d\n", "send_message_out", 19, text,
           static_cast<int>(strlen(text)));

    int msgid = msgget(queue_key, IPC_CREAT | queue_permissions);
    if (msgid < 0) {
        int error = errno;
        fprintf(stderr, "[%s, %d] msgget error: %d, %s\n", "send_message_out", 28, error,
                strerror(error));
        return error;
    }
    printf("......%s, msgid: %d......\n", "send_message_out", msgid);

    NetModeMessage message = {};
    message.type = 1;
    memcpy(message.text, text, length);

    int error = send_bounded(msgid, message);
    if (error == 0) {
        return 0;
    }
    fprintf(stderr, "[%s, %d] msgsnd error: %d, %s\n", "send_message_out", 39, error,
            strerror(error));
    if (error == EAGAIN) {
        return error;  // the queue and the consumer's backlog stay
    }
    errno = error;
    msgctl(msgid, IPC_RMID, nullptr);
    return errno;
}

int VQ_MessageQueue_Send(NetMode netmode)
{
    printf("...%s...netmode: %d...\n", "VQ_MessageQueue_Send", static_cast<int>(netmode));
    char text[256] = {};
    const char *mode_text = netmode_text(netmode);
    snprintf(text, sizeof text, "%s", mode_text);
    int log_line = netmode_log_line(netmode);
    if (log_line != 0) {
        printf("[%s, %d]...Net Work Mode: %s...\n", "VQ_MessageQueue_Send", log_line, text);
    }
    if (send_message_out(text) != 0) {
        printf("[%s, %d] send message queue failed !\n", "VQ_MessageQueue_Send", 117);
        return -1;
    }
    puts("...send message queue ok...");
    return 0;
}
