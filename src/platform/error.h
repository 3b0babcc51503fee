#pragma once

#include <QString>
#include <stdexcept>

namespace rv {

// The base of every error the program raises itself (a file, the calendar service, the word
// processor): message() says what failed and why, in words that can be shown to the user as
// they are.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// The message of any exception: ours carry one in the user's words, others only what().
inline QString errorMessage(const std::exception& error) {
    if (const auto* ours = dynamic_cast<const Error*>(&error))
        return ours->message();
    return QString::fromLocal8Bit(error.what());
}

} // namespace rv
