// The keyboard document file ("*.kbd"): a JSON text, versioned, that a person can read and
// compare. See keyboard_editor/README.md for its layout.
#pragma once

#include <QByteArray>
#include <memory>
#include <string>

#include "keyboard_editor/clavon_model.h"

namespace clavon {

inline constexpr const char* kDocumentFormat = "Clavon keyboard";
inline constexpr int kDocumentVersion = 1;

// The document text of a model as its file holds it. Records every symbol's placement first.
QByteArray SaveKbd(CClavonModel& model);
// The model's state for undo and redo: the placement records as they stand (the placement at
// the last save) and every symbol's current place and size, which ParseKbd gives back as
// they were.
QByteArray SnapshotKbd(const CClavonModel& model);
// Writes the document through a temporary file renamed into place; false with `error` set
// when it cannot be written.
bool WriteKbdFile(CClavonModel& model, const std::string& path, std::string& error);

// A model from a document text, its symbols re-placed from their placement records (or placed
// as a snapshot's current places and sizes say); null with
// `error` telling what is wrong. The background bitmap is not loaded here.
std::unique_ptr<CClavonModel> ParseKbd(const QByteArray& text, std::string& error);
std::unique_ptr<CClavonModel> ReadKbdFile(const std::string& path, std::string& error);

}  // namespace clavon
