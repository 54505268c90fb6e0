#include "sign/PamCheck.h"

#include <QStringList>

#include <security/pam_appl.h>

#include <cstdlib>
#include <cstring>

namespace {

struct Conversation
{
    const QByteArray *password;
    QStringList said;   // what the modules told the user (an expired password, ...)
};

// PAM asks; the answer to every hidden prompt is the password typed, the
// modules' messages are kept for the reason of a refusal.
int converse(int count, const pam_message **messages, pam_response **responses, void *data)
{
    auto *c = static_cast<Conversation *>(data);
    auto *out = static_cast<pam_response *>(std::calloc(std::size_t(count), sizeof(pam_response)));
    if (!out)
        return PAM_BUF_ERR;
    for (int i = 0; i < count; ++i) {
        const pam_message *m = messages[i];
        if (m->msg_style == PAM_PROMPT_ECHO_OFF || m->msg_style == PAM_PROMPT_ECHO_ON) {
            out[i].resp = strndup(c->password->constData(), std::size_t(c->password->size()));
            if (!out[i].resp) {
                for (int j = 0; j < i; ++j)
                    std::free(out[j].resp);
                std::free(out);
                return PAM_BUF_ERR;
            }
        } else if (m->msg && (m->msg_style == PAM_ERROR_MSG || m->msg_style == PAM_TEXT_INFO)) {
            c->said << QString::fromLocal8Bit(m->msg).trimmed();
        }
    }
    *responses = out;
    return PAM_SUCCESS;
}

} // namespace

QString pamCheck(const QString &service, const QString &login, QByteArray &password)
{
    Conversation c{&password, {}};
    const pam_conv conv{&converse, &c};
    pam_handle_t *h = nullptr;
    int rc = pam_start(service.toLocal8Bit().constData(), login.toLocal8Bit().constData(), &conv, &h);
    QString why;
    if (rc == PAM_SUCCESS) {
        // 1. The password; 2. the account may still be used.
        rc = pam_authenticate(h, PAM_DISALLOW_NULL_AUTHTOK);
        if (rc == PAM_SUCCESS)
            rc = pam_acct_mgmt(h, PAM_DISALLOW_NULL_AUTHTOK);
        if (rc != PAM_SUCCESS)
            why = QString::fromLocal8Bit(pam_strerror(h, rc));
        pam_end(h, rc);
    } else {
        why = QStringLiteral("the system's authentication could not be started (%1)").arg(rc);
    }
    password.fill('\0');
    password.clear();
    if (rc == PAM_SUCCESS)
        return {};
    if (rc == PAM_AUTH_ERR || rc == PAM_USER_UNKNOWN || rc == PAM_MAXTRIES)
        why = QStringLiteral("the password is not %1's").arg(login);
    c.said.removeAll(QString());
    return c.said.isEmpty() ? why : QStringLiteral("%1 (%2)").arg(why, c.said.join(QStringLiteral("; ")));
}
