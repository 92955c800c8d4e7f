#pragma once
// How the picture tools tell the user of a failure. The program shows a
// message box titled "Orvane"; tests collect the sentences instead.

#include <QString>

#include <functional>

class QWidget;

namespace orvane {

using MessageFunction = std::function<void(QWidget *parent, const QString &sentence)>;

// A warning box titled "Orvane" over `parent`. It is opened without a nested
// event loop, so the caller (a batch, a running sequence) is never held up.
MessageFunction messageBox();

} // namespace orvane
