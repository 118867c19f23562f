#pragma once

#include <QString>

#include <utility>

// What became of a step that changes files (a save, a move, a copy, a
// journal), with the reason in words for the user when it was not done.
// A function that also makes a value returns both in a struct of its own:
// the value beside an `Outcome outcome`.
struct Outcome {
    enum class Code {
        Done,
        Exists,  // something already has the name asked for; nothing changed
        Nothing, // there was nothing to do
        Stopped, // never done: a stop was asked for first
        Busy,    // never done: another step (another save of the folder) holds
                 // what this one needs; `reason` says what, and it may be tried later
        Failed,  // `reason` says why
    };
    Code code = Code::Failed;
    QString reason;

    bool ok() const { return code == Code::Done; }

    static Outcome done() { return {Code::Done, {}}; }
    static Outcome exists() { return {Code::Exists, {}}; }
    static Outcome nothing() { return {Code::Nothing, {}}; }
    static Outcome stopped() { return {Code::Stopped, {}}; }
    static Outcome busy(QString reason) { return {Code::Busy, std::move(reason)}; }
    static Outcome failed(QString reason) { return {Code::Failed, std::move(reason)}; }
};
