// The whole toolkit in one include.
#pragma once

#include "gui/GuiEditor.h"
#include "gui/canimknob.h"
#include "gui/cbitmap.h"
#include "gui/cdragcontainer.h"
#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "gui/ckickbutton.h"
#include "gui/cknob.h"
#include "gui/coffscreencontext.h"
#include "gui/conoffbutton.h"
#include "gui/coptionmenu.h"
#include "gui/cparamdisplay.h"
#include "gui/crockerswitch.h"
#include "gui/ctextedit.h"
#include "gui/cviewcontainer.h"
