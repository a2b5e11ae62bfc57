#pragma once
// A machine's snapshot saved as a JSON file, and read back: a support desk
// shows a user's machine from it, and tests describe machines as files.
// The format is documented in README ("Saved snapshots"); "version" grows
// with incompatible changes only, and a file of another version is refused.
// The machine id is not saved: the interfaces' setting identifiers, the
// only thing taken from it, are saved as they are, and a file sent to a
// support desk should not carry the id.
//
// Every value of the file is untrusted: the reader checks each type, bound
// and address, and refuses the whole file with one line naming the first
// fault (its place in the file, as "links[2].name").

#include "platform/linux/LinuxFacts.h"

#include <QByteArray>
#include <QString>

#include <memory>

inline constexpr int SnapshotVersion = 1;
// A snapshot of thousands of links is a few megabytes.
inline constexpr qint64 MaxSnapshotBytes = 32 * 1024 * 1024;

QByteArray SnapshotToJson(const TLinuxFactsData& AData);

// The facts of a snapshot file's text; null with AError set when the text
// is none.
std::shared_ptr<TLinuxFacts> SnapshotFromJson(const QByteArray& AText, QString& AError);
