#include "programming/widgets/PluPage.h"

#include "commands/BusyPointer.h"
#include "commands/Prompter.h"
#include "commands/RegisterOwner.h"
#include "commands/Session.h"
#include "programming/PluFile.h"
#include "programming/WriteProcedure.h"
#include "programming/widgets/FieldFilters.h"
#include "shell/widgets/Controls.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace norvvelm {

using controls::arrayName;
using controls::nameControl;

namespace {
const QString kAttention = QStringLiteral("Attenzione");
const QString kPrompt = QStringLiteral("Indicare il nome del file PLU");
} // namespace

PluPage::PluPage(WriteProcedure &procedure, SerialFunz2 *link, QWidget *parent)
    : QWidget(parent), m_procedure(procedure), m_table(procedure, link) {
    askFileName = [this](const QString &prompt, const QString &title, const QString &def) {
        bool ok = false;
        const QString name = QInputDialog::getText(this, title, prompt, QLineEdit::Normal, def, &ok);
        return ok ? name : QString();
    };
    auto *outer = new QVBoxLayout(this);
    m_grid = new QTableWidget(0, PluTable::kColumns, this);
    nameControl(m_grid, QStringLiteral("fgPLU"), QStringLiteral("PLU"));
    m_grid->setHorizontalHeaderLabels(PluTable::columnTitles());
    m_grid->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    outer->addWidget(m_grid);

    auto *buttons = new QHBoxLayout;
    const auto button = [&](const QString &name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        nameControl(b, name, caption);
        buttons->addWidget(b);
        return b;
    };
    auto *readButton = button(QStringLiteral("cmdReadPLU"), QStringLiteral("Recupera"));
    button(arrayName("cmdSetParametri", 4), QStringLiteral("Imposta"));
    auto *saveButton = button(QStringLiteral("cmdPLUSalvaFile"), QStringLiteral("Salva su File"));
    auto *loadButton = button(QStringLiteral("cmdPLULeggiFile"), QStringLiteral("Leggi da File"));
    auto *clearButton = button(QStringLiteral("cmdCancellaPLU"), QStringLiteral("Cancella"));
    buttons->addStretch();
    outer->addLayout(buttons);

    auto *explain =
        new QLabel(QString::fromUtf8("Avanzamento : Quando si preme un pulsante apparirà la barra di "
                                     "avanzamento. Alla fine la barra sparirà."),
                   this);
    explain->setWordWrap(true);
    outer->addWidget(explain);
    static const char *const kBarNames[4] = {"Lettura dal registratore", "Lettura da file",
                                             "Scrittura su file", "Scrittura sul registratore"};
    for (int i = 0; i < 4; ++i) {
        auto *bar = new QProgressBar(this);
        nameControl(bar, arrayName("pbPLU", i), QString::fromLatin1(kBarNames[i]));
        bar->hide();
        outer->addWidget(bar);
        m_bars << bar;
    }
    connect(readButton, &QPushButton::clicked, this, &PluPage::read);
    connect(saveButton, &QPushButton::clicked, this, &PluPage::saveFile);
    connect(loadButton, &QPushButton::clicked, this, &PluPage::loadFile);
    connect(clearButton, &QPushButton::clicked, this, &PluPage::clear);
}

void PluPage::showBar(int bar, int maximum) {
    hideBars();
    m_bars[bar]->setRange(0, maximum);
    m_bars[bar]->setValue(0);
    m_bars[bar]->show();
}

void PluPage::hideBars() {
    for (QProgressBar *b : m_bars)
        b->hide();
}

void PluPage::advance(int bar, int value) {
    m_bars[bar]->setValue(qMin(value, m_bars[bar]->maximum()));
}

void PluPage::setRow(int r, const PluRow &row) {
    for (int c = 0; c < PluTable::kColumns; ++c) {
        auto *item = new QTableWidgetItem(row[size_t(c)]);
        if (c >= PluTable::kWritten) // the sales counters are the register's
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        m_grid->setItem(r, c, item);
    }
}

void PluPage::clear() {
    m_grid->setRowCount(0);
}

QList<PluRow> PluPage::rows() const {
    QList<PluRow> out;
    out.reserve(m_grid->rowCount());
    for (int r = 0; r < m_grid->rowCount(); ++r) {
        PluRow row;
        for (int c = 0; c < PluTable::kColumns; ++c) {
            if (const QTableWidgetItem *item = m_grid->item(r, c))
                row[size_t(c)] = item->text();
        }
        out << row;
    }
    return out;
}

void PluPage::setRows(const QList<PluRow> &rows) {
    clear();
    appendRows(rows);
}

void PluPage::appendRows(const QList<PluRow> &rows) {
    const int first = m_grid->rowCount();
    m_grid->setUpdatesEnabled(false);
    m_grid->setRowCount(first + int(rows.size()));
    for (int i = 0; i < rows.size(); ++i)
        setRow(first + i, rows.at(i));
    m_grid->setUpdatesEnabled(true);
}

void PluPage::read() {
    // The whole table is one sequence: the print server waits until it ends.
    const RegisterLease lease(m_procedure.link().session, RegisterOwner::Use::Reads);
    if (!lease)
        return;
    showBar(0, PluTable::kMaxPlu);
    clear();
    m_grid->setUpdatesEnabled(false);
    m_table.read([this](int n) { advance(0, n); },
                 [this](int n, const PluRow &row) {
                     m_grid->setRowCount(n);
                     setRow(n - 1, row);
                 });
    m_grid->setUpdatesEnabled(true);
    hideBars();
}

void PluPage::write() {
    showBar(3, PluTable::kMaxPlu);
    QList<PluRow> list = rows();
    m_table.write(
        list, [this](int n) { advance(3, n); },
        // The numbers as written stay in the grid.
        [this, &list](int r) { setRow(r, list[r]); });
    hideBars();
}

void PluPage::saveFile() {
    const BusyPointer busy(m_procedure.link().session);
    showBar(2, qMax(1, m_grid->rowCount()));
    const QString path = askFileName(
        kPrompt, kAttention, PluFile::defaultPath(m_procedure.link().session.settings().programDir()));
    if (!path.isEmpty()) {
        QString error;
        switch (PluFile::save(path, rows(), &error, [this](int r) { advance(2, r); })) {
        case PluFile::SaveResult::Saved:
            break;
        case PluFile::SaveResult::Exists:
            m_procedure.prompter().message(QString::fromUtf8("File già esistente"), kAttention,
                                           Prompter::Icon::None);
            break;
        case PluFile::SaveResult::Failed:
            m_procedure.prompter().message(QStringLiteral("Impossibile scrivere il file PLU ") + path +
                                               u'\n' + error,
                                           kAttention, Prompter::Icon::Critical);
            break;
        }
    }
    hideBars();
}

void PluPage::loadFile() {
    const BusyPointer busy(m_procedure.link().session);
    showBar(1, PluFile::kMaxRecords + 1);
    const QString path = askFileName(
        kPrompt, kAttention, PluFile::defaultPath(m_procedure.link().session.settings().programDir()));
    if (!path.isEmpty()) {
        QList<PluRow> loaded;
        QString error;
        switch (PluFile::load(path, loaded, &error, [this](int k) { advance(1, k); })) {
        case PluFile::LoadResult::Loaded:
            // Appended: record k becomes PLU R + k, every record kept.
            appendRows(loaded);
            break;
        case PluFile::LoadResult::Missing:
            m_procedure.prompter().message(QStringLiteral("File Inesistente"), kAttention,
                                           Prompter::Icon::None);
            break;
        case PluFile::LoadResult::Failed:
            m_procedure.prompter().message(QStringLiteral("Impossibile leggere il file PLU ") + path + u'\n' +
                                               error,
                                           kAttention, Prompter::Icon::Critical);
            break;
        }
    }
    hideBars();
}

} // namespace norvvelm
