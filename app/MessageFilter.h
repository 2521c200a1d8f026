#pragma once
class QEvent;
class QObject;

// Sees every event before it is delivered; returning true claims it (it is not delivered).
class IMessageFilter {
public:
    virtual ~IMessageFilter() = default;
    virtual bool PreTranslateMessage(QObject* receiver, QEvent* event) = 0;
};
