#include "render/textbox.h"

#include "world/globals.h"

std::atomic<long> TextRenderCount{0};

TextBox::TextBox() : Wrap(9000), Texture(nullptr), Text("Textbox"), Color{255, 255, 255, 0}, DrawnColor{255, 255, 255, 0}, Font(1), DrawnFont(0) {}
TextBox::~TextBox() = default;
void TextBox::CalcMe() {}
void DefBoxes() {}
