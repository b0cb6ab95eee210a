#include "messageboxrecorder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTest>

namespace {

void pressOk(QMessageBox *box)
{
    if (QAbstractButton *ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        QTest::keyClick(box, Qt::Key_Escape); // the box picks its own escape button
}

} // namespace

bool ShownMessage::operator==(const ShownMessage &other) const
{
    return icon == other.icon && title == other.title && text == other.text &&
           buttons == other.buttons && hadParent == other.hadParent;
}

char *toString(const ShownMessage &message)
{
    const QString shown = QString("icon %1, title \"%2\", text \"%3\", buttons 0x%4%5")
                              .arg(int(message.icon))
                              .arg(message.title, message.text)
                              .arg(int(message.buttons), 0, 16)
                              .arg(message.hadParent ? ", with parent" : "");
    return QTest::toString(shown);
}

MessageBoxRecorder::MessageBoxRecorder()
{
    qApp->installEventFilter(this);
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    qApp->removeEventFilter(this);
}

QStringList MessageBoxRecorder::texts() const
{
    QStringList result;
    for (const ShownMessage &message : shown)
        result << message.text;
    return result;
}

// The box is recorded when it is shown, which happens inside exec() before its modal loop
// starts; the press is queued so that it runs inside that loop and ends it.
bool MessageBoxRecorder::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show) {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (box && box->isWindow()) {
            shown << ShownMessage{box->icon(), box->windowTitle(), box->text(),
                                  box->standardButtons(), box->parentWidget() != nullptr};
            QPointer<QMessageBox> target(box);
            QMetaObject::invokeMethod(
                this,
                [target] {
                    if (target)
                        pressOk(target);
                },
                Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}
