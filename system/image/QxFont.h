#pragma once

#include "includes/CKTypes.h"
#include "includes/XString.h"
#include "platform/PlatformFont.h"

// A font as the engine describes it (from the font's logical description).
struct QxFontInfo
{
    XString FaceName;
    int Height = 0; // logical height: negative for a character height in pixels
    int Weight = 0;
    CKBOOL Italic = FALSE;
    CKBOOL Underline = FALSE;
};

// A font of the given face (null: the default face) and point size at the
// screen's 96 dots per inch: height -MulDiv(pointSize, 96, 72), the weight,
// italic and underline as given, antialiased. Delete it with
// PlatformDeleteObject. Null only when memory runs out.
PlatformFont* QxCreateFont(const char* faceName, int pointSize, int weight, CKBOOL italic, CKBOOL underline);

// Fills the description from the font. TRUE; FALSE for a null font.
CKBOOL QxGetFontInfo(const PlatformFont* font, QxFontInfo& info);
