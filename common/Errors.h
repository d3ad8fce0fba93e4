#pragma once

#include <stdexcept>
#include <string>

namespace tinko {

// Errors the piano control raises. Each kind is a type of its own so that a
// caller can tell them apart; number() is the classic runtime error number a
// host's error report shows beside the message. Messages are for the user,
// in Chinese like all the program says.
class PianoError : public std::runtime_error {
public:
    PianoError(int number, const std::string& message)
        : std::runtime_error(message), number_(number) {}
    int number() const noexcept { return number_; }

private:
    int number_;
};

// An index outside the bounds of an array, such as a note above 128.
class SubscriptOutOfRangeError : public PianoError {
public:
    explicit SubscriptOutOfRangeError(const std::string& what)
        : PianoError(9, "下标越界：" + what) {}
};

// An integer result that does not fit the type it must be held in.
class OverflowError : public PianoError {
public:
    explicit OverflowError(const std::string& what) : PianoError(6, "溢出：" + what) {}
};

// An integer division by zero.
class DivisionByZeroError : public PianoError {
public:
    explicit DivisionByZeroError(const std::string& what) : PianoError(11, "除数为零：" + what) {}
};

// A value that cannot be converted to the type asked for.
class ConversionError : public PianoError {
public:
    explicit ConversionError(const std::string& what) : PianoError(13, "类型不匹配：" + what) {}
};

}  // namespace tinko
