#include "mesh/QZOgreMaterialWriter.h"

#include "base/uException.h"
#include "base/uNumbers.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "scene/uColor.h"
#include "xml/uBufferedFileStream.h"

namespace {
void Line(std::string& script, int blanks, std::string_view text) {
  script.append(static_cast<std::size_t>(blanks), ' ');
  script += text;
  script += "\r\n";
}

std::string ColourFraction(uint8_t byte) { return FormatGeneral(byte / 255.0); }

void WriteTextureUnit(const QZOgreTextureUnitT& unit, int index, std::string& script) {
  const QZOgreTextureT& texture = *unit.Texture;
  Line(script, 12, "texture_unit");
  Line(script, 12, "{");
  if (texture.IsColor) {
    const TColorBytes color = SplitColor(texture.Color);
    Line(script, 16,
         "colour_op_ex source1 src_manual src_current " + ColourFraction(color.Red) + " " +
             ColourFraction(color.Green) + " " + ColourFraction(color.Blue));
    if (color.Alpha != 255)
      Line(script, 16, "alpha_op_ex source1 src_manual src_current " + ColourFraction(color.Alpha));
  } else {
    Line(script, 16, "texture " + TextureTargetName(texture.FileName));
  }
  if (index > 0 && !unit.Blend.empty()) Line(script, 16, "colour_op " + unit.Blend);
  if (unit.TexCoordSet != 0) Line(script, 16, "tex_coord_set " + std::to_string(unit.TexCoordSet));
  if (texture.IsLightmap) {
    Line(script, 16, "tex_address_mode clamp");
    Line(script, 16, "filtering linear linear none");
  } else {
    Line(script, 16, "filtering trilinear");
  }
  Line(script, 12, "}");
}

// Whether OGRE's script lexer would read the name as more than one word: it
// splits at white space, braces and colons, takes a leading "$" for a
// variable and a leading "/" may start a comment.
bool NeedsQuotes(const std::string& name) {
  return name.empty() || name.find_first_of(" \t{}:\"") != std::string::npos || name.front() == '$' ||
         name.front() == '/';
}

// Inside quotes OGRE ends the name at a quote not preceded by a backslash and
// then drops the backslash before a quote or another backslash: such names
// cannot be written so that they come back as they are.
bool QuotesCannotHold(const std::string& name) {
  if (name.find('"') != std::string::npos || (!name.empty() && name.back() == '\\')) return true;
  return name.find("\\\\") != std::string::npos;
}
}  // namespace

std::string ScriptMaterialName(const std::string& name, TMaterialNameForm form) {
  if (form == TMaterialNameForm::Platform || !NeedsQuotes(name)) return name;
  if (QuotesCannotHold(name))
    RaiseError("Material \"%s\" cannot be named in a script for OGRE 1.7 or later.", {VisibleText(name)});
  return '"' + name + '"';
}

void WriteMaterial(const QZOgreMaterialT& material, bool exportLightmaps, std::string& script, TMaterialNameForm form) {
  Line(script, 0, "material " + ScriptMaterialName(material.Name, form));
  Line(script, 0, "{");
  Line(script, 4, "technique");
  Line(script, 4, "{");
  Line(script, 8, "pass");
  Line(script, 8, "{");
  for (int i = 0; i < material.TextureUnitCount(); ++i) {
    const QZOgreTextureUnitT& unit = material.GetTextureUnit(i);
    // Blending and depth writes follow the first unit's blend, even when that
    // unit itself is left out.
    if (i == 0 && (unit.Blend == "add" || unit.Blend == "alpha_blend")) {
      Line(script, 12, "scene_blend " + unit.Blend);
      Line(script, 12, "depth_write off");
    }
    if (exportLightmaps || !unit.Texture->IsLightmap) WriteTextureUnit(unit, i, script);
  }
  Line(script, 8, "}");
  Line(script, 4, "}");
  Line(script, 0, "}");
}

void WriteMaterialScript(const std::string& fileName, const std::vector<std::unique_ptr<QZOgreMaterialT>>& materials,
                         bool exportLightmaps, const std::function<void(int index)>& onMaterial,
                         TFileTransaction* transaction, TMaterialNameForm form) {
  TBufferedFileStream file(fileName, 64 * 1024, transaction);
  std::string block;
  for (std::size_t i = 0; i < materials.size(); ++i) {
    block.clear();
    if (i > 0) block += "\r\n";
    WriteMaterial(*materials[i], exportLightmaps, block, form);
    file.Write(block.data(), block.size());
    if (onMaterial) onMaterial(static_cast<int>(i));
  }
  file.Close();
}
