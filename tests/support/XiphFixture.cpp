#include "support/XiphFixture.h"

#include <QFile>
#include <QtEndian>

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>
#include <ogg/ogg.h>
#include <opus/opus.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = kRate + kRate / 5; // 1.2 seconds

std::vector<short> tone(int rate, int frames) {
    std::vector<short> pcm(size_t(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        const short v = short(8000 * std::sin(2 * M_PI * 440.0 * i / rate));
        pcm[size_t(i) * 2] = v;
        pcm[size_t(i) * 2 + 1] = short(-v);
    }
    return pcm;
}

QList<QByteArray> commentsWithPictures(const XiphFixtureOptions& options) {
    QList<QByteArray> fields = options.comments;
    for (const auto& [type, data] : options.pictures)
        fields << "METADATA_BLOCK_PICTURE=" + flacPictureBody(type, data).toBase64();
    return fields;
}

bool writeFlac(const QString& path, bool ogg, const XiphFixtureOptions& options) {
    FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(encoder, 2);
    FLAC__stream_encoder_set_bits_per_sample(encoder, 16);
    FLAC__stream_encoder_set_sample_rate(encoder, kRate);
    std::vector<FLAC__StreamMetadata*> blocks;
    FLAC__StreamMetadata* comment = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    for (const QByteArray& field : ogg ? commentsWithPictures(options) : options.comments) {
        FLAC__StreamMetadata_VorbisComment_Entry entry{FLAC__uint32(field.size()),
                                                       (FLAC__byte*)field.constData()};
        FLAC__metadata_object_vorbiscomment_append_comment(comment, entry, true);
    }
    blocks.push_back(comment);
    if (!ogg) {
        for (const auto& [type, data] : options.pictures) {
            FLAC__StreamMetadata* picture = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE);
            picture->data.picture.type = FLAC__StreamMetadata_Picture_Type(type);
            FLAC__metadata_object_picture_set_mime_type(picture, const_cast<char*>("image/png"),
                                                        true);
            FLAC__metadata_object_picture_set_description(picture, (FLAC__byte*)"back", true);
            FLAC__metadata_object_picture_set_data(picture, (FLAC__byte*)data.constData(),
                                                   FLAC__uint32(data.size()), true);
            blocks.push_back(picture);
        }
    }
    if (options.padding >= 0) {
        FLAC__StreamMetadata* padding = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING);
        padding->length = unsigned(options.padding);
        blocks.push_back(padding);
    }
    FLAC__stream_encoder_set_metadata(encoder, blocks.data(), unsigned(blocks.size()));
    const QByteArray native = QFile::encodeName(path);
    const auto status =
        ogg ? FLAC__stream_encoder_init_ogg_file(encoder, native.constData(), nullptr, nullptr)
            : FLAC__stream_encoder_init_file(encoder, native.constData(), nullptr, nullptr);
    bool ok = status == FLAC__STREAM_ENCODER_INIT_STATUS_OK;
    const std::vector<short> pcm = tone(kRate, kFrames);
    std::vector<FLAC__int32> samples(pcm.begin(), pcm.end());
    ok = ok && FLAC__stream_encoder_process_interleaved(encoder, samples.data(), kFrames);
    ok = FLAC__stream_encoder_finish(encoder) && ok;
    FLAC__stream_encoder_delete(encoder);
    for (FLAC__StreamMetadata* block : blocks)
        FLAC__metadata_object_delete(block);
    return ok;
}

bool writePages(QFile& out, ogg_stream_state& stream, bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
        if (out.write(reinterpret_cast<const char*>(page.header), page.header_len) !=
                page.header_len ||
            out.write(reinterpret_cast<const char*>(page.body), page.body_len) != page.body_len)
            return false;
    }
    return true;
}

bool writeVorbis(const QString& path, const XiphFixtureOptions& options) {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly)) return false;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, 2, kRate, 0.1f) != 0) return false;
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    for (const QByteArray& field : commentsWithPictures(options))
        vorbis_comment_add(&vc, field.constData());
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x5EED);
    ogg_packet id, comment, setup;
    vorbis_analysis_headerout(&dsp, &vc, &id, &comment, &setup);
    ogg_stream_packetin(&stream, &id);
    ogg_stream_packetin(&stream, &comment);
    ogg_stream_packetin(&stream, &setup);
    bool ok = writePages(out, stream, true);
    const std::vector<short> pcm = tone(kRate, kFrames);
    for (int at = 0; at <= kFrames && ok; at += 1024) {
        const int n = std::min(1024, kFrames - at);
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, n);
            for (int i = 0; i < n; ++i) {
                buffer[0][i] = pcm[size_t(at + i) * 2] / 32768.f;
                buffer[1][i] = pcm[size_t(at + i) * 2 + 1] / 32768.f;
            }
        }
        vorbis_analysis_wrote(&dsp, n > 0 ? n : 0);
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                ok = ok && writePages(out, stream, false);
            }
        }
        if (n <= 0) break;
    }
    ok = ok && writePages(out, stream, true);
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&info);
    return ok;
}

void appendLe32(QByteArray& out, quint32 v) {
    char raw[4];
    qToLittleEndian(v, raw);
    out.append(raw, 4);
}

bool writeOpus(const QString& path, const XiphFixtureOptions& options) {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly)) return false;
    int error = 0;
    OpusEncoder* encoder = opus_encoder_create(48000, 2, OPUS_APPLICATION_AUDIO, &error);
    if (!encoder) return false;
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x0905);
    QByteArray head("OpusHead");
    head += char(1);
    head += char(2);
    head += QByteArray("\x38\x01", 2); // pre-skip 312
    appendLe32(head, 44100);
    head += QByteArray(3, '\0');
    QByteArray tags("OpusTags");
    const QByteArray vendor("trovix tests");
    appendLe32(tags, quint32(vendor.size()));
    tags += vendor;
    const QList<QByteArray> fields = commentsWithPictures(options);
    appendLe32(tags, quint32(fields.size()));
    for (const QByteArray& field : fields) {
        appendLe32(tags, quint32(field.size()));
        tags += field;
    }
    ogg_int64_t packetNo = 0;
    auto put = [&](const QByteArray& data, ogg_int64_t granule, bool bos, bool eos) {
        ogg_packet packet{};
        packet.packet = (unsigned char*)data.constData();
        packet.bytes = long(data.size());
        packet.b_o_s = bos;
        packet.e_o_s = eos;
        packet.granulepos = granule;
        packet.packetno = packetNo++;
        ogg_stream_packetin(&stream, &packet);
    };
    put(head, 0, true, false);
    bool ok = writePages(out, stream, true);
    put(tags, 0, false, false);
    ok = ok && writePages(out, stream, true);
    const int frames = 48000 + 48000 / 5;
    const std::vector<short> pcm = tone(48000, frames);
    ogg_int64_t granule = 312;
    for (int at = 0; at < frames && ok; at += 960) {
        unsigned char packet[1500];
        const int n = opus_encode(encoder, pcm.data() + size_t(at) * 2, 960, packet, sizeof packet);
        if (n < 0) ok = false;
        granule += 960;
        put(QByteArray(reinterpret_cast<char*>(packet), n), granule, false, at + 960 >= frames);
        ok = ok && writePages(out, stream, false);
    }
    ok = ok && writePages(out, stream, true);
    ogg_stream_clear(&stream);
    opus_encoder_destroy(encoder);
    return ok;
}

} // namespace

bool writeXiphFile(const QString& path, XiphKind kind, const XiphFixtureOptions& options) {
    switch (kind) {
    case XiphKind::Flac:
        return writeFlac(path, false, options);
    case XiphKind::OggFlac:
        return writeFlac(path, true, options);
    case XiphKind::Vorbis:
        return writeVorbis(path, options);
    case XiphKind::Opus:
        return writeOpus(path, options);
    }
    return false;
}

QByteArray flacPictureBody(int type, const QByteArray& data) {
    QByteArray body;
    auto be32 = [&body](quint32 v) {
        char raw[4];
        qToBigEndian(v, raw);
        body.append(raw, 4);
    };
    be32(quint32(type));
    be32(9);
    body += "image/png";
    be32(4);
    body += "back";
    be32(8);
    be32(8);
    be32(24);
    be32(0);
    be32(quint32(data.size()));
    body += data;
    return body;
}

QByteArray xiphAudio(const QString& path, XiphKind kind) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    if (kind == XiphKind::Flac) {
        if (!bytes.startsWith("fLaC")) return {};
        qsizetype at = 4;
        for (bool last = false; !last;) {
            if (at + 4 > bytes.size()) return {};
            last = bytes[at] & 0x80;
            at += 4 + ((quint8(bytes[at + 1]) << 16) | (quint8(bytes[at + 2]) << 8) |
                       quint8(bytes[at + 3]));
        }
        return at <= bytes.size() ? bytes.mid(at) : QByteArray();
    }
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, long(bytes.size()));
    memcpy(buffer, bytes.constData(), size_t(bytes.size()));
    ogg_sync_wrote(&sync, long(bytes.size()));
    ogg_stream_state stream;
    bool started = false;
    int headers = kind == XiphKind::Vorbis ? 3 : 2;
    int seen = 0;
    QByteArray audio;
    ogg_page page;
    while (ogg_sync_pageout(&sync, &page) == 1) {
        if (!started) {
            ogg_stream_init(&stream, ogg_page_serialno(&page));
            started = true;
        }
        ogg_stream_pagein(&stream, &page);
        ogg_packet packet;
        for (int got; (got = ogg_stream_packetout(&stream, &packet)) != 0;) {
            // A hole: a page is missing or out of sequence.
            if (got < 0) {
                ogg_stream_clear(&stream);
                ogg_sync_clear(&sync);
                return {};
            }
            if (seen == 0 && kind == XiphKind::OggFlac && packet.bytes >= 9)
                headers = 1 + ((packet.packet[7] << 8) | packet.packet[8]);
            if (seen++ < headers) continue;
            appendLe32(audio, quint32(packet.bytes));
            audio.append(QByteArray::number(qlonglong(packet.granulepos)));
            audio.append(char(packet.e_o_s));
            audio.append(reinterpret_cast<const char*>(packet.packet), packet.bytes);
        }
    }
    if (started) ogg_stream_clear(&stream);
    ogg_sync_clear(&sync);
    return audio;
}
