#pragma once
// How a problem or a question reaches the user. The main window implements both;
// layers below it get one of these and never open a window themselves.

#include <QString>
#include <QStringList>

#include <functional>

namespace orvane {

// A sentence the user must hear of that must not stop anything (a frame not
// saved, a lost telescope link, a webcam gone): shown without blocking.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void notify(const QString &sentence) = 0;
};

// A question with OK and Cancel. It returns at once; the answer comes later
// through `answered` (true for OK), so nothing waits on the user meanwhile.
class Questions {
public:
    virtual ~Questions() = default;
    virtual void askOkCancel(const QString &text, std::function<void(bool ok)> answered) = 0;
};

// Keeps what it is told, in order: for tests and headless use.
class NoticeList : public Notifier {
public:
    QStringList notices;
    void notify(const QString &sentence) override { notices.append(sentence); }
};

} // namespace orvane
