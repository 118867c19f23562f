#pragma once

#include <memory>

// A document's state as an undoable edit may change it, taken before and
// after the edit: the history keeps an edit only when a save would see a
// difference, and undo and redo restore one of the two.
class EditState {
public:
    virtual ~EditState() = default;
    virtual bool sameEdits(const EditState& other) const = 0;
    virtual void restore() const = 0;

    // The state of a document with snapshot() and restoreSnapshot(), whose
    // snapshot has sameEdits().
    template <class Doc> static std::shared_ptr<const EditState> of(Doc* doc) {
        return std::make_shared<const Snapshot<Doc>>(doc, doc->snapshot());
    }

private:
    template <class Doc> class Snapshot;
};

template <class Doc> class EditState::Snapshot : public EditState {
public:
    using Taken = decltype(std::declval<Doc&>().snapshot());
    Snapshot(Doc* doc, Taken taken) : fDoc(doc), fTaken(std::move(taken)) {}
    bool sameEdits(const EditState& other) const override {
        return fTaken.sameEdits(static_cast<const Snapshot&>(other).fTaken);
    }
    void restore() const override { fDoc->restoreSnapshot(fTaken); }

private:
    Doc* fDoc;
    Taken fTaken;
};
