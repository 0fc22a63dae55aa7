// norvvelmd killed, stopped and losing answers in the middle of 200-line
// receipts, fed by slow writers and hostile files, against ecrsim over a
// pseudo-terminal; and a seeded run of receipts over HTTP and files with the
// daemon killed and its journal damaged while it is down. Judged from the
// register's own paper and log and from the outcomes the daemon gives: every
// receipt printed once, complete, never joined with another, and said as it is.

#include "support/DaemonRig.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QRegularExpression>

#include <algorithm>
#include <optional>
#include <random>

using testsupport::Daemon;
using testsupport::HttpAnswer;

namespace {

constexpr int kSales = 199; // and the payment: 200 lines

QByteArray saleLine(const QByteArray &tag, int i) {
    return "3/S/" + tag + '-' + QByteArray::number(i) + "//1/0.10/1/4/";
}

QByteArray receipt(const QByteArray &tag, int sales = kSales) {
    QByteArray r;
    for (int i = 1; i <= sales; ++i)
        r += saleLine(tag, i) + "\r\n";
    return r + "5/1/0.00/////\r\n";
}

// The documents on the roll, each ended by its rule of '='.
QStringList documents(const Daemon &d) {
    QStringList docs;
    QString current;
    for (const QString &l : d.paperText().split(u'\n')) {
        current += l + u'\n';
        if (l == QString(32, u'=')) {
            docs << current;
            current.clear();
        }
    }
    return docs;
}

// Where the receipt of `tag` stands on the paper: the closed receipts that
// carry any of its sales (voided ones do not count), their numbers, and what
// is wrong with them.
struct OnPaper {
    int times = 0;
    QList<int> numbers; // SCONTR. N. of each
    bool joined = false;
    bool partial = false;
    QString problem;
};

OnPaper onPaper(const QStringList &docs, const QString &tag, int sales) {
    static const QRegularExpression saleText(QStringLiteral("^([A-Z0-9]+)-([0-9]+)$"),
                                             QRegularExpression::MultilineOption);
    static const QRegularExpression number(QStringLiteral("SCONTR\\. N\\. ([0-9]+)"));
    OnPaper p;
    for (const QString &doc : docs) {
        if (!doc.contains(QStringLiteral("SCONTR. N.")) || doc.contains(QStringLiteral("ANNULLATO")))
            continue;
        QList<int> seen;
        bool ours = false, others = false;
        for (auto it = saleText.globalMatch(doc); it.hasNext();) {
            const auto m = it.next();
            if (m.captured(1) == tag) {
                ours = true;
                seen << m.captured(2).toInt();
            } else {
                others = true;
            }
        }
        if (!ours)
            continue;
        ++p.times;
        p.numbers << number.match(doc).captured(1).toInt();
        if (others) {
            p.joined = true;
            p.problem += QStringLiteral(" joined with another receipt;");
        }
        std::sort(seen.begin(), seen.end());
        QList<int> all;
        for (int i = 1; i <= sales; ++i)
            all << i;
        if (seen != all) {
            p.partial = true;
            p.problem += QStringLiteral(" %1 sales of %2;").arg(seen.size()).arg(sales);
        }
    }
    return p;
}

// Empty when the receipt of `tag` is on the paper once, complete and alone;
// otherwise what is wrong with it.
QString printedOnce(const Daemon &d, const QString &tag, int sales = kSales) {
    OnPaper p = onPaper(documents(d), tag, sales);
    if (p.times != 1)
        p.problem += QStringLiteral(" printed %1 times;").arg(p.times);
    return p.problem.isEmpty() ? QString() : tag + u':' + p.problem;
}

// How many lines beginning with `prefix` the register carried out or refused.
int registerTook(const Daemon &d, const QByteArray &prefix) {
    QFile f(d.commands);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    int n = 0;
    for (const QByteArray &l : f.readAll().split('\n'))
        n += l.startsWith(prefix);
    return n;
}

bool waitFor(const std::function<bool()> &done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(5);
    return done();
}

// ---------------------------------------------------------------- the fault run
//
// Receipts in batches of one to three, over HTTP and as files, the daemon
// killed (SIGKILL) at points the seed picks: the Nth sale or payment the
// register takes from the moment the point is armed, which ecrsim holds
// answered until the kill. After some kills the journal is damaged while the
// daemon is down. The same seed, receipts and kills give the same run.
//
//   NORVVELM_FAULTS_SEED      the seed (without it the run is skipped)
//   NORVVELM_FAULTS_RECEIPTS  how many receipts (20)
//   NORVVELM_FAULTS_KILLS     how many kills (6)
//   NORVVELM_FAULTS_EXCLUDE   cases left out, separated by commas:
//                             "unwritable" (never made immutable) and
//                             "journal_lost" (an outcome the damaged journal
//                             left unfinished is excused from being final)

enum class Damage { CutAtRecord, CutInsideRecord, Emptied, Removed, Garbage, Unwritable };
constexpr int kDamages = 6;
const char *const kDamageNames[kDamages] = {"cut-at-record", "cut-inside-record", "emptied",
                                            "removed",       "garbage",           "unwritable"};

struct KillPoint {
    QByteArray prefix; // "3/" a sale, "5/" a payment
    int nth = 1;
    std::optional<Damage> damage;
};

struct PlannedReceipt {
    QString tag;
    bool api = false;
    bool jsonLines = false; // over HTTP as {"lines": [...]}, else text/plain
    int sales = 1;
    // As it went.
    QByteArray id;     // the daemon's id of an HTTP receipt
    QString damagedBy; // the journal damage met while under way or queued
    bool sent = false; // posted or dropped: a run cut short leaves the rest unjudged
    QString fileName() const { return QStringLiteral("scontrino-") + tag + QStringLiteral(".txt"); }
    QByteArray lines() const {
        QByteArray r;
        for (int i = 1; i <= sales; ++i)
            r += saleLine(tag.toLatin1(), i) + "\r\n";
        return r + "5/1/0.00/////\r\n";
    }
};

struct Batch {
    QList<PlannedReceipt> receipts;
    QList<KillPoint> kills; // the first armed as the batch is sent, the next after each restart
};

// The whole run from its seed alone: batches, receipts, kill points and damages.
QList<Batch> planRun(quint64 seed, int receipts, int kills) {
    std::mt19937_64 rng(seed);
    const auto pick = [&rng](int n) { return n <= 1 ? 0 : int(rng() % quint64(n)); };
    QList<Batch> plan;
    for (int made = 0; made < receipts;) {
        Batch b;
        const int n = std::min(1 + pick(3), receipts - made);
        for (int i = 0; i < n; ++i) {
            PlannedReceipt r;
            r.tag = QStringLiteral("R%1").arg(++made, 3, 10, QChar(u'0'));
            r.api = pick(2) == 0;
            r.jsonLines = pick(2) == 0;
            r.sales = 1 + pick(12);
            b.receipts << r;
        }
        plan << b;
    }
    int killsLeft = kills, damagesLeft = kills / 2;
    bool killNext = false;
    for (qsizetype bi = 0; bi < plan.size(); ++bi) {
        Batch &b = plan[bi];
        const int batchesLeft = int(plan.size() - bi);
        int n = killsLeft / batchesLeft + (pick(batchesLeft) < killsLeft % batchesLeft ? 1 : 0);
        if (killNext && n == 0)
            n = 1; // a journal left unwritable is met by a kill in the middle of the next batch
        killNext = false;
        n = std::min({n, 2, killsLeft});
        int sales = 0;
        for (const PlannedReceipt &r : b.receipts)
            sales += r.sales;
        for (int k = 0; k < n; ++k) {
            KillPoint p;
            p.prefix = pick(3) == 0 ? "5/" : "3/";
            if (k == 0)
                p.nth = 1 + pick(p.prefix == "5/" ? int(b.receipts.size()) : sales);
            else
                p.nth = p.prefix == "5/" ? 1 : 1 + pick(4); // while the receipt is sent anew
            if (pick(killsLeft) < damagesLeft) {
                p.damage = Damage(pick(kDamages));
                --damagesLeft;
                killNext = *p.damage == Damage::Unwritable;
            }
            --killsLeft;
            b.kills << p;
        }
    }
    return plan;
}

bool finalState(const QString &state) {
    return state == u"printed" || state == u"failed" || state == u"refused";
}

class FaultRun {
public:
    FaultRun(Daemon &d, quint64 seed, QStringList exclude)
        : m_d(d), m_seed(seed), m_exclude(std::move(exclude)) {}
    ~FaultRun() { setImmutable(false); }

    // Runs the plan; false when the run could not go on (the daemon stuck).
    bool run(QList<Batch> &plan);
    // Judges every receipt from the paper and the outcomes; the problems, one a receipt.
    QStringList judge(const QList<Batch> &plan);
    QString summary(const QList<Batch> &plan, qint64 ms) const;
    QString stuck;

private:
    bool restart();
    void damage(Damage what, QList<PlannedReceipt> &receipts);
    bool setImmutable(bool on);
    QString canMakeImmutable();
    bool submit(PlannedReceipt &r);
    QJsonObject outcome(const PlannedReceipt &r) const;
    QJsonObject status() const { return m_d.apiGet("/api/v1/status", 2000).json(); }
    bool batchDone(const QList<PlannedReceipt> &receipts);
    int took(const QByteArray &prefix) const { return registerTook(m_d, prefix); }

    Daemon &m_d;
    quint64 m_seed;
    QStringList m_exclude;
    std::mt19937_64 m_damageRng{m_seed ^ 0x9e3779b97f4a7c15ULL};
    bool m_immutable = false;
    QString m_immutableSkipped; // why "unwritable" was not done, when it was not
    int m_kills = 0;
    QMap<QString, int> m_damages;
    int m_excused = 0;
    QStringList m_takenUnwritable; // batches whose files were taken while the journal was unwritable
    int m_lost = 0, m_doubled = 0, m_mixed = 0, m_untrue = 0;
    QElapsedTimer m_quietSince;
};

bool FaultRun::restart() {
    m_d.start();
    return waitFor([&] { return m_d.apiGet("/api/v1/status", 1000).status == 200; }, 20000);
}

QString FaultRun::canMakeImmutable() {
    QFile probe(m_d.home.filePath(QStringLiteral("immutable-probe")));
    probe.open(QIODevice::WriteOnly);
    probe.close();
    QProcess chattr;
    chattr.start(QStringLiteral("chattr"), {QStringLiteral("+i"), probe.fileName()});
    const bool done =
        chattr.waitForFinished(5000) && chattr.exitStatus() == QProcess::NormalExit && chattr.exitCode() == 0;
    const QString why = done ? QString()
                             : QStringLiteral("chattr +i refused here (%1)")
                                   .arg(QString::fromLocal8Bit(chattr.readAllStandardError()).trimmed() +
                                        chattr.errorString());
    QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), probe.fileName()});
    probe.remove();
    return why;
}

// Root, as CI runs, writes through file modes: only the immutable flag stops it.
bool FaultRun::setImmutable(bool on) {
    if (m_immutable == on)
        return true;
    const int rc = QProcess::execute(QStringLiteral("chattr"),
                                     {on ? QStringLiteral("+i") : QStringLiteral("-i"), m_d.journal()});
    if (rc == 0)
        m_immutable = on;
    return rc == 0;
}

// The journal damaged while the daemon is down, as a disk or a careless hand would.
void FaultRun::damage(Damage what, QList<PlannedReceipt> &receipts) {
    const QString path = m_d.journal();
    QFile f(path);
    QByteArray bytes;
    if (f.open(QIODevice::ReadOnly))
        bytes = f.readAll();
    f.close();
    const qsizetype header = bytes.indexOf('\n') + 1;
    const auto pick = [this](qsizetype n) {
        return n <= 1 ? qsizetype(0) : qsizetype(m_damageRng() % quint64(n));
    };
    const auto rewrite = [&](const QByteArray &content) {
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
    };
    switch (what) {
    case Damage::CutAtRecord: {
        QList<qsizetype> ends; // after the header, before the last record's end
        for (qsizetype i = header; i + 1 < bytes.size(); ++i) {
            if (bytes.at(i) == '\n')
                ends << i + 1;
        }
        rewrite(bytes.left(ends.isEmpty() ? header : ends.at(pick(ends.size()))));
        break;
    }
    case Damage::CutInsideRecord: {
        QList<qsizetype> inside;
        for (qsizetype i = header + 1; i < bytes.size(); ++i) {
            if (bytes.at(i - 1) != '\n')
                inside << i;
        }
        rewrite(bytes.left(inside.isEmpty() ? header / 2 : inside.at(pick(inside.size()))));
        break;
    }
    case Damage::Emptied:
        rewrite({});
        break;
    case Damage::Removed:
        QVERIFY(!QFile::exists(path) || QFile::remove(path));
        break;
    case Damage::Garbage: {
        QByteArray g(std::max<qsizetype>(bytes.size(), 64), '\0');
        for (char &c : g)
            c = char(m_damageRng() & 0xff);
        rewrite(g);
        break;
    }
    case Damage::Unwritable:
        if (m_exclude.contains(QStringLiteral("unwritable"))) {
            m_immutableSkipped = QStringLiteral("left out by NORVVELM_FAULTS_EXCLUDE");
            return;
        }
        if (m_immutableSkipped.isEmpty())
            m_immutableSkipped = canMakeImmutable();
        if (!m_immutableSkipped.isEmpty())
            return;
        if (!QFile::exists(path))
            rewrite({});
        QVERIFY(setImmutable(true));
        break;
    }
    ++m_damages[QString::fromLatin1(kDamageNames[int(what)])];
    for (PlannedReceipt &r : receipts)
        r.damagedBy = QString::fromLatin1(kDamageNames[int(what)]);
}

// Posted (false on a refusal the daemon may lift: 503) or dropped as a file.
bool FaultRun::submit(PlannedReceipt &r) {
    r.sent = true;
    if (!r.api) {
        m_d.drop(r.lines(), r.fileName());
        return true;
    }
    QByteArray body = r.lines();
    QByteArray type = "text/plain";
    if (r.jsonLines) {
        QJsonArray lines;
        for (const QByteArray &l : body.split('\n')) {
            if (!l.trimmed().isEmpty())
                lines << QString::fromLatin1(l.trimmed());
        }
        body = QJsonDocument(QJsonObject{{QStringLiteral("lines"), lines}}).toJson(QJsonDocument::Compact);
        type = "application/json";
    }
    const HttpAnswer a = m_d.apiPost(r.tag.toLatin1(), type, body);
    if (a.status == 201 || a.status == 202 || a.status == 200) {
        r.id = a.json().value(QStringLiteral("id")).toString().toLatin1();
        return true;
    }
    if (a.status != 503)
        qWarning("%s: POST answered %d %s", qPrintable(r.tag), a.status, a.body.constData());
    return false;
}

QJsonObject FaultRun::outcome(const PlannedReceipt &r) const {
    if (r.api) {
        if (r.id.isEmpty())
            return {};
        return m_d.apiGet("/api/v1/receipts/" + r.id, 2000).json();
    }
    QFile f(m_d.server + QStringLiteral("/esiti/") + r.fileName() + QStringLiteral(".json"));
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
}

// Every receipt of the batch final; or the daemon quiet for a while, with the
// batch's files taken and nothing left to send: what is not final then never
// will be, and the judge says so.
bool FaultRun::batchDone(const QList<PlannedReceipt> &receipts) {
    bool allFinal = true;
    for (const PlannedReceipt &r : receipts)
        allFinal = allFinal && finalState(outcome(r).value(QStringLiteral("state")).toString());
    if (allFinal)
        return true;
    const QJsonObject server = status().value(QStringLiteral("server")).toObject();
    bool quiet = !server.isEmpty() && server.value(QStringLiteral("queue_lines")).toInt() == 0 &&
                 !server.value(QStringLiteral("printing")).toBool();
    for (const PlannedReceipt &r : receipts)
        quiet = quiet && (r.api || m_d.taken(r.fileName()));
    if (!quiet) {
        m_quietSince.invalidate();
        return false;
    }
    if (!m_quietSince.isValid())
        m_quietSince.start();
    // Quiet across several of the folder's ticks: nothing more will move.
    return m_quietSince.elapsed() > 1500;
}

bool FaultRun::run(QList<Batch> &plan) {
    for (qsizetype bi = 0; bi < plan.size(); ++bi) {
        Batch &b = plan[bi];
        qsizetype next = 0; // the next kill point to arm
        int base = 0;
        const auto arm = [&] {
            if (next >= b.kills.size())
                return;
            const KillPoint &p = b.kills.at(next);
            base = took(p.prefix);
            m_d.sim.control("fault hold=" + p.prefix + '#' + QByteArray::number(p.nth) + ",1500");
        };
        arm();
        QList<PlannedReceipt *> pending;
        // HTTP receipts first, each in the queue before the files come.
        for (PlannedReceipt &r : b.receipts) {
            if (r.api && !submit(r))
                pending << &r;
        }
        for (PlannedReceipt &r : b.receipts) {
            if (!r.api)
                submit(r);
        }
        for (PlannedReceipt &r : b.receipts) {
            if (m_immutable)
                r.damagedBy = QString::fromLatin1(kDamageNames[int(Damage::Unwritable)]);
        }
        m_quietSince.invalidate();
        QDeadlineTimer deadline(90000);
        bool refused = !pending.isEmpty();
        for (;;) {
            if (deadline.hasExpired()) {
                stuck = QStringLiteral("batch %1 (%2...) not done in 90 s")
                            .arg(bi + 1)
                            .arg(b.receipts.first().tag);
                return false;
            }
            if (m_immutable) {
                // The daemon that cannot write its journal must take nothing:
                // once it says so, its files are still there, and the journal
                // is given back to it.
                const QJsonObject journal = status()
                                                .value(QStringLiteral("server"))
                                                .toObject()
                                                .value(QStringLiteral("journal"))
                                                .toObject();
                if (refused || (journal.contains(QStringLiteral("writable")) &&
                                !journal.value(QStringLiteral("writable")).toBool())) {
                    // Only the files still waiting now: those taken before
                    // the kill that made the journal unwritable were taken
                    // by a daemon that could write it.
                    QStringList waiting;
                    for (const PlannedReceipt &r : std::as_const(b.receipts)) {
                        if (!r.api && !m_d.taken(r.fileName()))
                            waiting << r.fileName();
                    }
                    const auto anyTaken = [&] {
                        return std::any_of(waiting.cbegin(), waiting.cend(),
                                           [&](const QString &name) { return m_d.taken(name); });
                    };
                    // A few of the folder's ticks to take a file it should not.
                    if (waitFor(anyTaken, 1000))
                        m_takenUnwritable << b.receipts.first().tag;
                    if (!setImmutable(false)) {
                        stuck = QStringLiteral("chattr -i %1 failed").arg(m_d.journal());
                        return false;
                    }
                }
            }
            for (qsizetype i = 0; !m_immutable && i < pending.size();) {
                if (submit(*pending.at(i)))
                    pending.removeAt(i);
                else
                    ++i;
            }
            if (next < b.kills.size() && took(b.kills.at(next).prefix) >= base + b.kills.at(next).nth) {
                m_d.kill();
                ++m_kills;
                setImmutable(false); // an unwritable journal lasts one life of the daemon
                if (const auto what = b.kills.at(next).damage)
                    damage(*what, b.receipts);
                ++next;
                arm(); // while nothing is sent, so that the count starts where ecrsim's does
                if (!restart()) {
                    stuck = QStringLiteral("the daemon did not come back after kill %1").arg(m_kills);
                    return false;
                }
                m_quietSince.invalidate();
                continue;
            }
            if (pending.isEmpty() && batchDone(b.receipts))
                break;
            QTest::qWait(20);
        }
        if (next < b.kills.size())
            m_d.sim.control("clear"); // a point the batch never reached
        setImmutable(false);
    }
    return true;
}

QStringList FaultRun::judge(const QList<Batch> &plan) {
    const QStringList docs = documents(m_d);
    const bool excuse = m_exclude.contains(QStringLiteral("journal_lost"));
    QStringList problems;
    for (const QString &tag : std::as_const(m_takenUnwritable))
        problems
            << QStringLiteral("batch of %1: a file taken while the journal could not be written").arg(tag);
    for (const Batch &b : plan) {
        for (const PlannedReceipt &r : b.receipts) {
            if (!r.sent)
                continue;
            const OnPaper p = onPaper(docs, r.tag, r.sales);
            const QJsonObject o = outcome(r);
            const QString state = o.value(QStringLiteral("state")).toString(QStringLiteral("(none)"));
            const int number = o.value(QStringLiteral("receipt_number")).toInt(-1);
            QString wrong = p.problem;
            if (p.times > 1) {
                ++m_doubled;
                wrong += QStringLiteral(" printed %1 times;").arg(p.times);
            }
            if (p.joined || p.partial)
                ++m_mixed;
            if (!finalState(state) && !r.damagedBy.isEmpty() && excuse) {
                ++m_excused;
            } else if (p.times == 0 && state != u"failed") {
                ++m_lost;
                wrong += QStringLiteral(" not on paper, outcome %1;").arg(state);
            } else if ((p.times > 0 && state != u"printed") ||
                       (state == u"printed" && (p.times != 1 || p.numbers.value(0) != number))) {
                ++m_untrue;
                wrong += QStringLiteral(" outcome %1 number %2, on paper %3 times as %4;")
                             .arg(state)
                             .arg(number)
                             .arg(p.times)
                             .arg(p.numbers.value(0));
            }
            if (!wrong.isEmpty())
                problems << r.tag + (r.api ? QStringLiteral(" (HTTP)") : QStringLiteral(" (file)")) +
                                (r.damagedBy.isEmpty()
                                     ? QStringLiteral(":")
                                     : QString(QStringLiteral(" after journal ") + r.damagedBy + u':')) +
                                wrong;
        }
    }
    return problems;
}

QString FaultRun::summary(const QList<Batch> &plan, qint64 ms) const {
    int receipts = 0;
    for (const Batch &b : plan)
        receipts += int(std::count_if(b.receipts.cbegin(), b.receipts.cend(),
                                      [](const PlannedReceipt &r) { return r.sent; }));
    int damages = 0;
    QStringList kinds;
    for (auto it = m_damages.cbegin(); it != m_damages.cend(); ++it) {
        damages += it.value();
        kinds << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    }
    QString s =
        QStringLiteral("faults: seed %1 receipts %2 kills %3 damages %4 (%5) lost %6 doubled %7 mixed %8 "
                       "untrue %9")
            .arg(m_seed)
            .arg(receipts)
            .arg(m_kills)
            .arg(damages)
            .arg(kinds.join(QStringLiteral(", ")))
            .arg(m_lost)
            .arg(m_doubled)
            .arg(m_mixed)
            .arg(m_untrue);
    if (m_excused > 0)
        s += QStringLiteral(" excused %1").arg(m_excused);
    if (!m_immutableSkipped.isEmpty())
        s += QStringLiteral(" (unwritable skipped: %1)").arg(m_immutableSkipped);
    return s + QStringLiteral(" in %1 s").arg(double(ms) / 1000.0, 0, 'f', 1);
}

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT
private slots:
    void interruptedReceipts();
    void lostAnswers();
    void droppedConnection_data();
    void droppedConnection();
    void slowWritersAndHostileFiles();
    void faultRun();
};

void TestRecovery::interruptedReceipts() {
    Daemon d;
    QVERIFY(d.startSim());
    d.start();
    QVERIFY(waitFor([&] { return d.identified(); }, 10000));
    struct Point {
        QByteArray tag;
        QByteArray held;  // the line whose answer the register holds back while the daemon ends
        bool drop = true; // a new receipt file; else the one sent anew after the last kill
        bool terminate = false;
    };
    const QList<Point> points{
        {"KA", saleLine("KA", 1)},              // the receipt's first line
        {"KB", saleLine("KB", 60)},             // in the middle
        {"KC", saleLine("KC", kSales)},         // the last sale
        {"KD", "5/"},                           // the payment carried out, its answer not yet back
        {"KE", saleLine("KE", 120)},            // then again while the receipt is sent anew
        {"KE", saleLine("KE", 30), false},      //
        {"TA", saleLine("TA", 80), true, true}, // SIGTERM
    };
    for (const Point &p : points) {
        d.sim.control("fault hold=" + p.held + ",1500");
        const int before = registerTook(d, p.held);
        if (p.drop)
            d.drop(receipt(p.tag));
        QVERIFY2(waitFor([&] { return registerTook(d, p.held) > before; }, 30000), p.held.constData());
        if (p.terminate)
            QCOMPARE(d.stop(), 0);
        else
            d.kill();
        d.start();
        if (p.tag == "KE" && p.drop)
            continue; // killed again below, in the middle of the new copy
        QVERIFY2(waitFor([&] { return printedOnce(d, QString::fromLatin1(p.tag)).isEmpty(); }, 30000),
                 qPrintable(printedOnce(d, QString::fromLatin1(p.tag))));
    }
    QTest::qWait(300);
    for (const QByteArray tag : {"KA", "KB", "KC", "KD", "KE", "TA"})
        QVERIFY2(printedOnce(d, QString::fromLatin1(tag)).isEmpty(),
                 qPrintable(printedOnce(d, QString::fromLatin1(tag))));
    // One receipt of the register holds nothing but one receipt file's sales,
    // and none is left open.
    QVERIFY(!d.err.contains("Driver gi"));
}

void TestRecovery::lostAnswers() {
    Daemon d;
    QVERIFY(d.startSim());
    d.start();
    QVERIFY(waitFor([&] { return d.identified(); }, 10000));
    const QList<std::pair<QByteArray, QByteArray>> lost{
        {"LA", saleLine("LA", 1)}, {"LB", saleLine("LB", 100)}, {"LC", "5/"}};
    for (const auto &[tag, line] : lost) {
        d.sim.control("fault lose=" + line);
        d.drop(receipt(tag));
        QVERIFY2(
            waitFor([&] { return printedOnce(d, QString::fromLatin1(tag)).isEmpty() && d.taken(); }, 40000),
            qPrintable(printedOnce(d, QString::fromLatin1(tag))));
    }
    QTest::qWait(300);
    for (const auto &[tag, line] : lost)
        QVERIFY2(printedOnce(d, QString::fromLatin1(tag)).isEmpty(),
                 qPrintable(printedOnce(d, QString::fromLatin1(tag))));
    // The payment's answer was lost after it printed: the count told, nothing voided.
    int voided = 0;
    for (const QString &doc : documents(d))
        voided += doc.contains(QStringLiteral("ANNULLATO"));
    QCOMPARE(voided, 2);
}

void TestRecovery::droppedConnection_data() {
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QByteArray>("held"); // the line unanswered when the connection drops
    QTest::newRow("first line") << QByteArray("NA") << saleLine("NA", 1);
    QTest::newRow("in the middle") << QByteArray("NB") << saleLine("NB", 90);
    QTest::newRow("the payment") << QByteArray("NC") << QByteArray("5/");
}

// The register behind a serial device server: the connection drops while a
// line waits for its answer and comes back; the receipt ends once, alone.
void TestRecovery::droppedConnection() {
    QFETCH(QByteArray, tag);
    QFETCH(QByteArray, held);
    Daemon d;
    QVERIFY(d.startSimTcp());
    d.start();
    QVERIFY(waitFor([&] { return d.identified(); }, 10000));
    d.sim.control("fault hold=" + held + ",1500");
    d.drop(receipt(tag));
    QVERIFY2(waitFor([&] { return registerTook(d, held) > 0; }, 30000), held.constData());
    d.sim.control("disconnect 500");
    QVERIFY2(waitFor([&] { return printedOnce(d, QString::fromLatin1(tag)).isEmpty() && d.taken(); }, 40000),
             qPrintable(printedOnce(d, QString::fromLatin1(tag)) + QString::fromUtf8(d.err)));
    // The next receipt prints on its own after it.
    d.drop(receipt("ND", 3));
    QVERIFY(waitFor([&] { return printedOnce(d, QStringLiteral("ND"), 3).isEmpty(); }, 20000));
    QVERIFY2(printedOnce(d, QString::fromLatin1(tag)).isEmpty(),
             qPrintable(printedOnce(d, QString::fromLatin1(tag))));
    QVERIFY(!d.err.contains("Driver gi"));
}

void TestRecovery::slowWritersAndHostileFiles() {
    Daemon d;
    QVERIFY(d.startSim());
    d.start();
    QVERIFY(waitFor([&] { return d.identified(); }, 10000));

    // A line every 300 ms with the file held open.
    {
        QFile f(d.server + QStringLiteral("/scontrino.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QByteArray r = receipt("SW", 8);
        for (const QByteArray &line : r.split('\n')) {
            if (line.isEmpty())
                continue;
            f.write(line + '\n');
            f.flush();
            QTest::qWait(300);
        }
        QVERIFY(!d.taken());
    }
    QVERIFY(waitFor([&] { return d.taken() && printedOnce(d, QStringLiteral("SW"), 8).isEmpty(); }, 10000));

    // Appended in pieces, the file opened and closed for each.
    const QByteArray pieces = receipt("SP", 6);
    for (qsizetype at = 0; at < pieces.size(); at += 40) {
        QFile f(d.server + QStringLiteral("/scontrino.txt"));
        QVERIFY(f.open(QIODevice::Append));
        f.write(pieces.mid(at, 40));
        f.close();
        QTest::qWait(40);
    }
    QVERIFY(waitFor([&] { return d.taken() && printedOnce(d, QStringLiteral("SP"), 6).isEmpty(); }, 10000));

    // A link to a file the daemon may read: left alone, named once, nothing of it anywhere.
    QVERIFY(QFile::link(QStringLiteral("/etc/passwd"), d.server + QStringLiteral("/scontrino.txt")));
    QVERIFY(waitFor([&] { return d.err.contains("collegamento"); }, 5000));
    QTest::qWait(600);
    QCOMPARE(d.err.count("collegamento"), 1);
    QVERIFY(QFileInfo(d.server + QStringLiteral("/scontrino.txt")).isSymLink());
    QVERIFY(!d.out.contains("root:"));
    for (const QString &l : d.logLines())
        QVERIFY(!l.contains(QStringLiteral("root:")));
    QFile::remove(d.server + QStringLiteral("/scontrino.txt"));

    // A control character and a CR-only file: the rest of the receipt goes on.
    d.drop("3/S/CR-1//1/0.10/1/4/\r3/S/CR-2\x02//1/0.10/1/4/\r3/S/CR-2//1/0.10/1/4/\r5/1/0.00/////\r");
    QVERIFY(waitFor([&] { return printedOnce(d, QStringLiteral("CR"), 2).isEmpty(); }, 10000));
    QVERIFY(d.err.contains("carattere di controllo 0x02"));
}

void TestRecovery::faultRun() {
    const QByteArray seedText = qgetenv("NORVVELM_FAULTS_SEED");
    if (seedText.isEmpty())
        QSKIP("the fault run is its own test (tst_faults, make faults): NORVVELM_FAULTS_SEED sets it going");
    bool ok = false;
    const quint64 seed = seedText.toULongLong(&ok);
    QVERIFY2(ok, "NORVVELM_FAULTS_SEED: a number");
    const int receipts = qEnvironmentVariableIsSet("NORVVELM_FAULTS_RECEIPTS")
                             ? qEnvironmentVariableIntValue("NORVVELM_FAULTS_RECEIPTS")
                             : 20;
    const int kills = qEnvironmentVariableIsSet("NORVVELM_FAULTS_KILLS")
                          ? qEnvironmentVariableIntValue("NORVVELM_FAULTS_KILLS")
                          : 6;
    const QStringList exclude =
        qEnvironmentVariable("NORVVELM_FAULTS_EXCLUDE").split(u',', Qt::SkipEmptyParts);
    QVERIFY(receipts > 0 && kills >= 0);
    // The seed first, so that a run that never ends can still be replayed.
    printf("faults: seed %llu receipts %d kills %d%s%s\n", static_cast<unsigned long long>(seed), receipts,
           kills, exclude.isEmpty() ? "" : " excluding ", qPrintable(exclude.join(u',')));
    fflush(stdout);
    QList<Batch> plan = planRun(seed, receipts, kills);
    QStringList planned;
    for (const Batch &b : plan) {
        for (const KillPoint &k : b.kills) {
            if (k.damage)
                planned << QString::fromLatin1(kDamageNames[int(*k.damage)]);
        }
    }
    printf("faults: %lld batches, damages planned: %s\n", static_cast<long long>(plan.size()),
           qPrintable(planned.join(QStringLiteral(", "))));
    fflush(stdout);

    Daemon d;
    d.setParam("ServerFile", "scontrino-*");
    QVERIFY(d.startSim());
    d.start();
    QVERIFY(waitFor([&] { return d.apiGet("/api/v1/status", 1000).status == 200; }, 20000));
    QElapsedTimer took;
    took.start();
    FaultRun run(d, seed, exclude);
    const bool ran = run.run(plan);
    const QStringList problems = run.judge(plan);
    for (const QString &p : problems)
        qWarning("%s", qPrintable(p));
    printf("%s\n", qPrintable(run.summary(plan, took.elapsed())));
    fflush(stdout);
    const QByteArray replay =
        "replay: make faults SEED=" + seedText + " RECEIPTS=" + QByteArray::number(receipts) +
        " KILLS=" + QByteArray::number(kills) +
        (exclude.isEmpty() ? QByteArray() : " EXCLUDE=" + exclude.join(u',').toLatin1());
    const QString why = run.stuck + u' ' + QString::fromLatin1(replay);
    QVERIFY2(ran, qPrintable(why));
    QVERIFY2(problems.isEmpty(), replay.constData());
}

QTEST_GUILESS_MAIN(TestRecovery)
#include "tst_recovery.moc"
