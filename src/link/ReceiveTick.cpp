#include "link/Decoders.h"
#include "link/FrameCutter.h"
#include "shell/MainCore.h"
#include "shell/SerialLink.h"

namespace {

struct Dispatch
{
    char16_t letter;
    void (*decoder)(MainCore &);
};

// Compared in this order, upper case only; any other letter is dropped.
constexpr Dispatch kDecoders[] = {
    {u'M', DecodeModelFrame},
    {u'E', DecodeEndFrame},
    {u'Q', DecodeSettingsFrame},
    {u'P', DecodeSettingsFrame},
    {u'D', DecodeLiveReading},
    {u'S', DecodeStoredRecord},
};

} // namespace

void MainCore::Timer1_Timer()
{
    // While an export writes the table, what arrives waits in the port's
    // buffer: it belongs after the table that is being written, in the new
    // table or in the kept one if the export fails.
    if (receiveHeld_)
        return;
    if (MSComm1->isOpen())
        m.RxBuffer += QString::fromLatin1(MSComm1->readAll());

    QString pending = m.RxBuffer;
    bool handledAny = false;
    bool handledModel = false;
    while (auto content = framecut::takeFrame(pending)) {
        // During the decoder RxBuffer holds just this frame's content.
        m.RxBuffer = *content;
        rowWritten_ = 0;
        const char16_t letter = content->isEmpty() ? u'\0' : content->at(0).unicode();
        for (const Dispatch &d : kDecoders) {
            if (d.letter == letter) {
                decoding_ = QChar(letter);
                d.decoder(*this);
                decoding_ = QChar();
                break;
            }
        }
        handledModel = handledModel || letter == u'M';
        handledAny = true;
        m.PollCommand.clear();
        emit frameHandled(*content);
        rowWritten_ = 0;
    }
    framecut::trim(pending, kMaxFrame);
    m.RxBuffer = pending;
    if (handledAny) {
        // Whatever the frame was, the meter is there.
        const bool wasSilent = noAnswer();
        unansweredPolls_ = 0;
        if (wasSilent)
            emit answerChanged(true);
        emit changed();
        emit receiveTickDone(handledModel);
    }
}
