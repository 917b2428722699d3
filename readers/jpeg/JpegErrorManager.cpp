#include "readers/jpeg/JpegErrorManager.h"

#include "readers/common/ReaderLog.h"

namespace {

void ErrorExit(j_common_ptr cinfo)
{
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    ReaderLogError("JPEG: %s", text);
    JpegJumpBack(cinfo);
}

void OutputMessage(j_common_ptr) {}

} // namespace

jpeg_error_mgr* JpegSetUpErrorManager(JpegErrorManager& error)
{
    jpeg_error_mgr* manager = jpeg_std_error(&error.pub);
    error.pub.error_exit = ErrorExit;
    error.pub.output_message = OutputMessage;
    return manager;
}

void JpegJumpBack(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}
