#include "MessageBox.h"

#include "MessageWindow.h"

#include <QApplication>
#include <QMessageBox>

#include <mutex>

namespace {
std::mutex handlerMutex;
MessageBoxHandler handler;

void ShowQtBox(const std::string& text, const std::string& caption, TMessageIcon icon)
{
    QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
    switch (icon) {
    case TMessageIcon::Information: qtIcon = QMessageBox::Information; break;
    case TMessageIcon::Warning: qtIcon = QMessageBox::Warning; break;
    case TMessageIcon::Error: qtIcon = QMessageBox::Critical; break;
    case TMessageIcon::None: break;
    }
    QMessageBox box(qtIcon, QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}
}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption, TMessageIcon icon)
{
    MessageBoxHandler h;
    {
        std::lock_guard lock(handlerMutex);
        h = handler;
    }
    // The box waits in an event loop of its own, with its caller's code below it.
    TNestedMessageLoop round;
    if (h)
        h(text, caption, icon);
    else if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        ShowQtBox(text, caption, icon);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler h)
{
    std::lock_guard lock(handlerMutex);
    std::swap(handler, h);
    return h;
}
