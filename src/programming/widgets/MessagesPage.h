#pragma once

#include "programming/ScrollMessages.h"

#include <QList>
#include <QWidget>

class QButtonGroup;
class QLineEdit;
class QRadioButton;

namespace norvvelm {

// "Messaggi": ten candidate texts for the scrolling message, one of them chosen.
class MessagesPage : public QWidget {
    Q_OBJECT
public:
    MessagesPage(WriteProcedure &procedure, QWidget *parent = nullptr);

    void send();   // cmdSetParametri(7)
    void reload(); // cmdReadScrolMSG
    void showRows(int count);
    QStringList texts() const;
    int selected() const; // -1 when none

private:
    ScrollMessages m_messages;
    QList<QLineEdit *> m_texts;
    QList<QRadioButton *> m_options;
    QButtonGroup *m_group = nullptr;
};

} // namespace norvvelm
