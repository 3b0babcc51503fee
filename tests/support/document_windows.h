#pragma once

#include "platform/document_window.h"

#include <QApplication>
#include <QList>

namespace rv::test {

// The document windows a printout left open on screen.
inline QList<DocumentWindow*> documentWindows() {
    QList<DocumentWindow*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<DocumentWindow*>(widget))
            windows << window;
    return windows;
}

// Closes them and lets them be deleted.
inline void closeDocumentWindows() {
    for (DocumentWindow* window : documentWindows())
        window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace rv::test
