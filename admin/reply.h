// Reading the administration server's answers: one reply line, or a run of reply records.
#pragma once

#include <cstddef>
#include <list>
#include <string>

namespace zn {

// result "," code "," text. The fields are split at commas with runs of commas counting as
// one; a comma ends the text and what follows it is ignored.
struct Reply {
    long result = 0;
    long code = 0;
    std::string text;
};

// False when the reply has fewer than three fields ("1,0," has three, the last one empty).
// Numbers read as atoi reads them: leading blanks, a sign, digits, 0 when there are none.
bool ParseReply(const char* bytes, std::size_t size, Reply& reply);

// Assembles the records of a change-log answer from reads of any size: each record is its
// text and "]", records are separated by "*", and "End-Of-Data" closes the run. A record may
// span any number of reads.
class RecordStream {
  public:
    // Takes one read's bytes. Records completed by them are appended to `records`; returns
    // true once the end record has been seen (records after it in the same read still count).
    bool Take(const char* bytes, std::size_t size, std::list<std::string>& records);
    bool Ended() const { return m_ended; }

  private:
    void TakePiece(std::string piece, std::list<std::string>& records);

    std::string m_pending;
    bool m_ended = false;
};

}  // namespace zn
