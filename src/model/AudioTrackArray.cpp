#include "model/AudioTrackArray.h"

#include "system/Log.h"

#include <algorithm>

AudioTrackRef AudioTrackArray::at(qsizetype index) const {
    if (index < 0 || index >= fArray.size()) return nullptr;
    return fArray.at(index);
}

void AudioTrackArray::add(const AudioTrackRef& track) {
    if (track) fArray.append(track);
}

void AudioTrackArray::addCopy(const AudioTrack& track) {
    fArray.append(std::make_shared<AudioTrack>(track));
}

void AudioTrackArray::addArray(const AudioTrackArray& other) {
    // Copy first: the other list may be this one.
    const QList<AudioTrackRef> records = other.fArray;
    fArray.append(records);
}

void AudioTrackArray::insertObject(const AudioTrack& track, qsizetype index) {
    index = std::clamp<qsizetype>(index, 0, fArray.size());
    fArray.insert(index, std::make_shared<AudioTrack>(track));
}

void AudioTrackArray::removeObject(const AudioTrackRef& track) {
    fArray.removeAll(track);
}

void AudioTrackArray::removeObjectAtIndex(qsizetype index) {
    if (index < 0 || index >= fArray.size()) {
        TROVIX_LOG() << "AudioTrackArray: no record at index" << index;
        return;
    }
    fArray.removeAt(index);
}

void AudioTrackArray::sortUsingSelector(Comparison compare) {
    std::stable_sort(fArray.begin(), fArray.end(),
                     [compare](const AudioTrackRef& a, const AudioTrackRef& b) {
                         return ((*a).*compare)(*b) < 0;
                     });
}

AudioTrackRef AudioTrackArray::firstRealTrackP() const {
    for (const AudioTrackRef& t : fArray)
        if (!t->isPlaceholder()) return t;
    return nullptr;
}

AudioTrackRef AudioTrackArray::firstGoodTrack() const {
    for (const AudioTrackRef& t : fArray)
        if (!t->isPlaceholder() && !t->getNewTitle().isEmpty()) return t;
    return nullptr;
}

bool AudioTrackArray::anyTracksMissing() const {
    return std::any_of(fArray.cbegin(), fArray.cend(),
                       [](const AudioTrackRef& t) { return t->isPlaceholder(); });
}

int AudioTrackArray::albumBitrate() const {
    std::optional<int32_t> first;
    bool same = true;
    bool anyKnown = false;
    for (const AudioTrackRef& t : fArray) {
        if (t->isPlaceholder()) continue;
        const int32_t rate = t->getBitrate();
        if (rate > 0) anyKnown = true;
        if (!first)
            first = rate;
        else if (rate != *first)
            same = false;
    }
    if (!anyKnown) return -1;
    return same ? *first : 0;
}

int AudioTrackArray::anyReadOnlyTracks() const {
    const auto readOnly = std::count_if(fArray.cbegin(), fArray.cend(),
                                        [](const AudioTrackRef& t) { return !t->okToTag(); });
    if (readOnly == fArray.size()) return 2;
    return readOnly > 0 ? 1 : 0;
}

bool AudioTrackArray::anyTitlesBlank() const {
    return std::any_of(fArray.cbegin(), fArray.cend(), [](const AudioTrackRef& t) {
        return !t->isPlaceholder() && t->getNewTitle().isEmpty();
    });
}

QString AudioTrackArray::description() const {
    QString text = QString::asprintf("%s array at %p, %d items.\n", "AudioTrackArray",
                                     static_cast<const void*>(this), int(fArray.size()));
    for (const AudioTrackRef& t : fArray)
        text += t->description() + QLatin1Char('\n');
    return text;
}
