// What people add to a recording: a signature checked through a PAM
// service of the test's own (one that accepts, and refusals that add
// nothing), notes on the recording and on its rows, and the sample measured;
// each an entry of the chain that --verify lists, the report prints and the
// data exports carry.
#include "record/RecordStore.h"
#include "sign/Account.h"
#include "support/OwnHome.h"
#include "support/RecordedSession.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// pam_wrapper loads the system's PAM with RTLD_DEEPBIND, which a program
// built with AddressSanitizer refuses to load: no signature can be checked
// in the sanitized build.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PAM_WRAPPER_UNUSABLE
#endif
#endif
#ifdef __SANITIZE_ADDRESS__
#define PAM_WRAPPER_UNUSABLE
#endif

const QString kPassword = QStringLiteral("correct horse");

// The service "tq800" of the test, by pam_matrix against a password file
// of the test holding the account that runs it: the system's own PAM
// configuration is never read.
struct TestPam
{
    QTemporaryDir dir;
    QString module;

    TestPam()
    {
        for (const QFileInfo &lib : QDir(QStringLiteral("/usr/lib")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (QFileInfo::exists(lib.filePath() + QStringLiteral("/pam_wrapper/pam_matrix.so")))
                module = lib.filePath() + QStringLiteral("/pam_wrapper/pam_matrix.so");
        const QString passdb = dir.filePath(QStringLiteral("passdb"));
        write(passdb, QStringLiteral("%1:%2:tq800\n").arg(currentAccount().login, kPassword));
        write(dir.filePath(QStringLiteral("tq800")), QStringLiteral("auth required %1 passdb=%2\naccount required %1 passdb=%2\n")
                                                         .arg(module, passdb));
    }
    static void write(const QString &path, const QString &text)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
    }
    // Why signatures cannot be checked here, or nullptr.
    const char *unusable() const
    {
        if (module.isEmpty())
            return "pam_matrix is needed (script/bootstrap installs libpam-wrapper)";
#ifdef PAM_WRAPPER_UNUSABLE
        return "pam_wrapper cannot load PAM into a program built with AddressSanitizer";
#endif
        return nullptr;
    }
    QProcessEnvironment env() const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral("libpam_wrapper.so"));
        e.insert(QStringLiteral("PAM_WRAPPER"), QStringLiteral("1"));
        e.insert(QStringLiteral("PAM_WRAPPER_SERVICE_DIR"), dir.path());
        e.insert(QStringLiteral("PAM_WRAPPER_DISABLE_DEEPBIND"), QStringLiteral("1"));
        return e;
    }
};

struct Ran
{
    int code = -1;
    QString out, err;
};

Ran logger(const QString &journal, const QStringList &args, const QByteArray &input = {},
           const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TQ800_LOG), QStringList{QStringLiteral("--journal"), journal} + args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// A recording of six readings on sample S-1 with a note on its rows 2 to
// 3, ended by Exit; its id.
qint64 recordOne(const QString &journal)
{
    Session s(journal);
    s.rec.setSample({QStringLiteral("S-1"), QStringLiteral("B-7"), QStringLiteral("EN 27888")});
    s.b.core.cmdClear_Click();
    s.log(1, 6);
    const QString why = s.rec.addEvent(QStringLiteral("note"), annotation::noteFields(QStringLiteral("bubble on the electrode"), 2, 3), false);
    if (!why.isEmpty())
        qWarning("%s", qPrintable(why));
    s.b.core.cmdExit_Click();
    return s.rec.lastRecordingId();
}

RecordingInfo stored(const QString &journal, qint64 id)
{
    RecordStore store;
    if (!store.open(journal, RecordStore::Access::Read))
        return {};
    return store.recording(id).value_or(RecordingInfo{});
}

QString textOf(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).simplified();
}

} // namespace

class TestAnnotate : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    // The password of the account running the program signs; anything
    // else adds nothing to the chain, and says why.
    void sign_data()
    {
        QTest::addColumn<QString>("meaning");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("said");   // empty: signed
        QTest::newRow("the account's password") << "reviewed" << "checked against the paper log" << kPassword.toUtf8() + '\n' << "";
        QTest::newRow("another password") << "reviewed" << "checked" << QByteArray("guess\n") << "not signed";
        QTest::newRow("no password") << "approved" << "fine" << QByteArray() << "not signed";
        QTest::newRow("a meaning of no list") << "witnessed" << "was there" << kPassword.toUtf8() + '\n'
                                              << "performed, reviewed or approved";
        QTest::newRow("no reason") << "performed" << " " << kPassword.toUtf8() + '\n' << "--reason";
    }
    void sign()
    {
        QFETCH(QString, meaning);
        QFETCH(QString, reason);
        QFETCH(QByteArray, input);
        QFETCH(QString, said);
        TestPam pam;
        if (const char *why = pam.unusable())
            QSKIP(why);
        QTemporaryDir dir;
        const qint64 id = recordOne(dir.path());
        const RecordingInfo before = stored(dir.path(), id);
        QVERIFY(before.entries > 0);

        const Ran r = logger(dir.path(), {"--recording", QString::number(id), "--sign", meaning, "--reason", reason}, input,
                             pam.env());
        const RecordingInfo after = stored(dir.path(), id);
        if (said.isEmpty()) {
            QVERIFY2(r.code == 0, qPrintable(r.err));
            QCOMPARE(after.entries, before.entries + 1);
        } else {
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(said), qPrintable(r.err));
            QCOMPARE(after.entries, before.entries);
            QCOMPARE(after.lastHash, before.lastHash);
        }
        QVERIFY(!r.err.contains(kPassword) && !r.out.contains(kPassword));
        // Still intact and still ended, however the chain grew.
        const Ran v = logger(dir.path(), {"--verify", "--recording", QString::number(id)});
        QVERIFY2(v.code == 0 && v.out.startsWith(QStringLiteral("%1: intact: %2 entries").arg(id).arg(after.entries)),
                 qPrintable(v.out));
        QCOMPARE(after.endedHow, QStringLiteral("Exit"));
    }

    // A signed recording with a note added after it: verify lists both and
    // says what came after the signature; the report prints the signature
    // on its line, the note and the sample; the exports carry the sample.
    void signedNotedAndExported()
    {
        TestPam pam;
        if (const char *why = pam.unusable())
            QSKIP(why);
        QTemporaryDir dir;
        const QString journal = dir.filePath(QStringLiteral("store"));
        const QString id = QString::number(recordOne(journal));
        const Account me = currentAccount();
        QCOMPARE(logger(journal, {"--recording", id, "--sign", "performed", "--reason", "ran the series"},
                        kPassword.toUtf8() + '\n', pam.env()).code, 0);
        const Ran noted = logger(journal, {"--recording", id, "--note", "re-rinsed, see lab book p. 12", "--rows", "4-5"});
        QVERIFY2(noted.code == 0, qPrintable(noted.err));
        QCOMPARE(logger(journal, {"--recording", id, "--note", "x", "--rows", "5-99"}).code, 1);   // no such rows

        const Ran v = logger(journal, {"--verify", "--recording", id});
        QVERIFY2(v.code == 0, qPrintable(v.out + v.err));
        for (const QString &line : {QStringLiteral("intact"),
                                    QStringLiteral("signature, entry"),
                                    QStringLiteral("%1 (%2), performed by").arg(me.fullName, me.login),
                                    QStringLiteral("ran the series"),
                                    QStringLiteral("on rows 2 to 3: bubble on the electrode"),
                                    QStringLiteral("on rows 4 to 5: re-rinsed, see lab book p. 12"),
                                    QStringLiteral("sample S-1, batch B-7, method EN 27888"),
                                    QStringLiteral("1 entry was added after the last signature")})
            QVERIFY2(v.out.contains(line), qPrintable(line + QStringLiteral(" in:\n") + v.out));

        const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
        const Ran rep = logger(journal, {"--recording", id, "--report", pdf});
        QVERIFY2(rep.code == 0, qPrintable(rep.err));
        const QString text = textOf(pdf);
        for (const QString &want : {QStringLiteral("Performed by %1 (%2)").arg(me.fullName, me.login),
                                    QStringLiteral("Signed electronically as performed"), QStringLiteral("ran the series"),
                                    QStringLiteral("Reviewed by"), QStringLiteral("sample S-1, batch B-7, method EN 27888"),
                                    QStringLiteral("re-rinsed, see lab book p. 12"),
                                    QStringLiteral("1 entry of the chain was added after the last signature")})
            QVERIFY2(text.contains(want), qPrintable(want + QStringLiteral(" in:\n") + text));

        const QString csv = dir.filePath(QStringLiteral("t.csv")), jsonl = dir.filePath(QStringLiteral("t.jsonl"));
        QCOMPARE(logger(journal, {"--recording", id, "--export", csv, "--tidy"}).code, 0);
        QCOMPARE(logger(journal, {"--recording", id, "--export", jsonl}).code, 0);
        QFile c(csv), j(jsonl);
        QVERIFY(c.open(QIODevice::ReadOnly) && j.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = c.readAll().split('\n');
        QVERIFY2(lines[0].trimmed().endsWith("settings_seq,sample,batch,method"), lines[0].constData());
        QVERIFY2(lines[1].trimmed().endsWith(",S-1,B-7,EN 27888"), lines[1].constData());
        const QJsonObject first = QJsonDocument::fromJson(j.readLine()).object();
        QCOMPARE(first[QStringLiteral("sample")].toString(), QStringLiteral("S-1"));
        QCOMPARE(first[QStringLiteral("method")].toString(), QStringLiteral("EN 27888"));
    }

    // The sample changes where it is named: the rows before keep the one
    // in force then; a Clear carries it into the next recording.
    void sampleFromHereOn()
    {
        QTemporaryDir dir;
        Session s(dir.path());
        s.b.core.cmdClear_Click();
        s.log(1, 2);
        s.rec.setSample({QStringLiteral("S-2"), {}, {}});
        s.log(3, 4);
        s.b.core.cmdClear_Click();
        s.log(5, 5);
        s.b.core.cmdExit_Click();
        QStringList samples;
        for (qint64 id : {s.rec.lastRecordingId() - 1, s.rec.lastRecordingId()}) {
            const QString file = dir.filePath(QStringLiteral("%1.jsonl").arg(id));
            QCOMPARE(logger(dir.path(), {"--recording", QString::number(id), "--export", file}).code, 0);
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            while (!f.atEnd()) {
                const QJsonValue v = QJsonDocument::fromJson(f.readLine()).object().value(QStringLiteral("sample"));
                samples << (v.isNull() ? QStringLiteral("null") : v.toString());
            }
        }
        QCOMPARE(samples, QStringList({"null", "null", "S-2", "S-2", "S-2"}));
    }
};

QTEST_GUILESS_MAIN(TestAnnotate)
#include "tst_annotate.moc"
