#pragma once
// How the picture tools tell the user of a failure. The program shows a
// message box titled "Orvane"; tests collect the sentences instead.

#include <QString>

#include <functional>

class QWidget;

namespace orvane {

using MessageFunction = std::function<void(QWidget *parent, const QString &sentence)>;
// Asks a Yes/No question; `answered` gets true for Yes, later, once the user has answered.
using YesNoFunction =
    std::function<void(QWidget *parent, const QString &question, std::function<void(bool yes)> answered)>;

// A warning box titled "Orvane" over `parent`. It is opened without a nested
// event loop, so the caller (a batch, a running sequence) is never held up.
MessageFunction messageBox();
// A window-modal Yes/No box titled "Orvane" over `parent`, without a nested event loop.
YesNoFunction yesNoBox();

} // namespace orvane
