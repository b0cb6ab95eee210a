#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>

// One message box as the user saw it.
struct ShownMessage
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    bool hadParent = false;

    bool operator==(const ShownMessage &other) const;
};

// Records every message box that opens while it lives and closes it with its OK button (or
// as the Escape key does when it has no OK), so a slot that shows several modal boxes in a row
// runs to its end inside a test. Boxes opened by the static QMessageBox functions work too:
// the box is closed from inside its own modal loop.
//
//     MessageBoxRecorder boxes;
//     window.findChild<QPushButton *>("Generator")->click();
//     QCOMPARE(boxes.texts(), QStringList({"Output folder not selected!"}));
//     QCOMPARE(boxes.messages().first().icon, QMessageBox::Critical);
//
// Only one recorder should live at a time.
class MessageBoxRecorder : public QObject
{
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder() override;

    QList<ShownMessage> messages() const { return shown; }
    // The texts alone, in the order the boxes opened: the usual thing to compare.
    QStringList texts() const;
    void clear() { shown.clear(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<ShownMessage> shown;
};

// Readable failure output for QCOMPARE on recorded messages.
char *toString(const ShownMessage &message);
