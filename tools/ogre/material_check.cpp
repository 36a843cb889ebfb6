// material_check FILE
//
// Compiles one material script with OGRE's own script compiler, the one a game
// runs when it loads our output, and prints what OGRE understood, one line per
// material, technique, pass and texture unit. Exits non-zero, with the reasons
// on stderr, when the compiler logs an error or a warning, throws, or finds no
// material at all: OGRE skips a broken attribute or block and goes on, so a
// script that "loads" may still not say what we meant.
//
// Each line names the script keywords and values as OGRE holds them after
// compiling, so a test compares what OGRE understood, not what we wrote.

#include <Ogre.h>

#include <exception>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "OgreSession.h"

namespace {

std::string Number(float value) { return FormatExactFloat(value); }

// The names below are the script keywords for each value, so that the
// description reads like the script it came from.

const char* BlendFactorName(Ogre::SceneBlendFactor factor) {
  switch (factor) {
    case Ogre::SBF_ONE: return "one";
    case Ogre::SBF_ZERO: return "zero";
    case Ogre::SBF_DEST_COLOUR: return "dest_colour";
    case Ogre::SBF_SOURCE_COLOUR: return "src_colour";
    case Ogre::SBF_ONE_MINUS_DEST_COLOUR: return "one_minus_dest_colour";
    case Ogre::SBF_ONE_MINUS_SOURCE_COLOUR: return "one_minus_src_colour";
    case Ogre::SBF_DEST_ALPHA: return "dest_alpha";
    case Ogre::SBF_SOURCE_ALPHA: return "src_alpha";
    case Ogre::SBF_ONE_MINUS_DEST_ALPHA: return "one_minus_dest_alpha";
    case Ogre::SBF_ONE_MINUS_SOURCE_ALPHA: return "one_minus_src_alpha";
  }
  return "?";
}

const char* BlendOperationName(Ogre::SceneBlendOperation operation) {
  switch (operation) {
    case Ogre::SBO_ADD: return "add";
    case Ogre::SBO_SUBTRACT: return "subtract";
    case Ogre::SBO_REVERSE_SUBTRACT: return "reverse_subtract";
    case Ogre::SBO_MIN: return "min";
    case Ogre::SBO_MAX: return "max";
  }
  return "?";
}

const char* LayerOperationName(Ogre::LayerBlendOperationEx operation) {
  switch (operation) {
    case Ogre::LBX_SOURCE1: return "source1";
    case Ogre::LBX_SOURCE2: return "source2";
    case Ogre::LBX_MODULATE: return "modulate";
    case Ogre::LBX_MODULATE_X2: return "modulate_x2";
    case Ogre::LBX_MODULATE_X4: return "modulate_x4";
    case Ogre::LBX_ADD: return "add";
    case Ogre::LBX_ADD_SIGNED: return "add_signed";
    case Ogre::LBX_ADD_SMOOTH: return "add_smooth";
    case Ogre::LBX_SUBTRACT: return "subtract";
    case Ogre::LBX_BLEND_DIFFUSE_ALPHA: return "blend_diffuse_alpha";
    case Ogre::LBX_BLEND_TEXTURE_ALPHA: return "blend_texture_alpha";
    case Ogre::LBX_BLEND_CURRENT_ALPHA: return "blend_current_alpha";
    case Ogre::LBX_BLEND_MANUAL: return "blend_manual";
    case Ogre::LBX_DOTPRODUCT: return "dotproduct";
    case Ogre::LBX_BLEND_DIFFUSE_COLOUR: return "blend_diffuse_colour";
  }
  return "?";
}

const char* LayerSourceName(Ogre::LayerBlendSource source) {
  switch (source) {
    case Ogre::LBS_CURRENT: return "src_current";
    case Ogre::LBS_TEXTURE: return "src_texture";
    case Ogre::LBS_DIFFUSE: return "src_diffuse";
    case Ogre::LBS_SPECULAR: return "src_specular";
    case Ogre::LBS_MANUAL: return "src_manual";
  }
  return "?";
}

const char* AddressModeName(Ogre::TextureAddressingMode mode) {
  switch (mode) {
    case Ogre::TAM_WRAP: return "wrap";
    case Ogre::TAM_MIRROR: return "mirror";
    case Ogre::TAM_CLAMP: return "clamp";
    case Ogre::TAM_BORDER: return "border";
    case Ogre::TAM_UNKNOWN: break;
  }
  return "?";
}

const char* FilterName(Ogre::FilterOptions filter) {
  switch (filter) {
    case Ogre::FO_NONE: return "none";
    case Ogre::FO_POINT: return "point";
    case Ogre::FO_LINEAR: return "linear";
    case Ogre::FO_ANISOTROPIC: return "anisotropic";
  }
  return "?";
}

std::string Colour(const Ogre::ColourValue& colour) {
  return Number(colour.r) + "," + Number(colour.g) + "," + Number(colour.b);
}

// "op=OPERATION(SOURCE1,SOURCE2)", then the manual arguments that the
// operation actually reads: a manual source's value and blend_manual's factor.
std::string LayerBlend(const char* key, const Ogre::LayerBlendModeEx& mode) {
  const bool colour = mode.blendType == Ogre::LBT_COLOUR;
  std::string text = std::string(key) + "_op=" + LayerOperationName(mode.operation) + "(" +
                     LayerSourceName(mode.source1) + "," + LayerSourceName(mode.source2) + ")";
  if (mode.source1 == Ogre::LBS_MANUAL)
    text += std::string(" ") + key + "_arg1=" + (colour ? Colour(mode.colourArg1) : Number(mode.alphaArg1));
  if (mode.source2 == Ogre::LBS_MANUAL)
    text += std::string(" ") + key + "_arg2=" + (colour ? Colour(mode.colourArg2) : Number(mode.alphaArg2));
  if (mode.operation == Ogre::LBX_BLEND_MANUAL) text += std::string(" ") + key + "_factor=" + Number(mode.factor);
  return text;
}

std::string DescribePass(unsigned short index, const Ogre::Pass& pass) {
  std::string text = "pass " + std::to_string(index) + " scene_blend=" +
                     BlendFactorName(pass.getSourceBlendFactor()) + "," + BlendFactorName(pass.getDestBlendFactor());
  // Separate alpha factors or a blend operation other than add come only from
  // attributes our scripts do not write; show them only when they appear.
  if (pass.getSourceBlendFactorAlpha() != pass.getSourceBlendFactor() ||
      pass.getDestBlendFactorAlpha() != pass.getDestBlendFactor())
    text += std::string(" scene_blend_alpha=") + BlendFactorName(pass.getSourceBlendFactorAlpha()) + "," +
            BlendFactorName(pass.getDestBlendFactorAlpha());
  if (pass.getSceneBlendingOperation() != Ogre::SBO_ADD || pass.getSceneBlendingOperationAlpha() != Ogre::SBO_ADD)
    text += std::string(" scene_blend_op=") + BlendOperationName(pass.getSceneBlendingOperation()) + "," +
            BlendOperationName(pass.getSceneBlendingOperationAlpha());
  text += std::string(" depth_write=") + (pass.getDepthWriteEnabled() ? "on" : "off");
  return text;
}

std::string DescribeTextureUnit(unsigned short index, const Ogre::TextureUnitState& unit) {
  const auto& address = unit.getTextureAddressingMode();
  return "texture_unit " + std::to_string(index) + " texture=" + unit.getTextureName() +
         " tex_coord_set=" + std::to_string(unit.getTextureCoordSet()) + " " +
         LayerBlend("colour", unit.getColourBlendMode()) + " " + LayerBlend("alpha", unit.getAlphaBlendMode()) +
         " colour_op_multipass_fallback=" + BlendFactorName(unit.getColourBlendFallbackSrc()) + "," +
         BlendFactorName(unit.getColourBlendFallbackDest()) + " tex_address_mode=" + AddressModeName(address.u) +
         "," + AddressModeName(address.v) + "," + AddressModeName(address.w) +
         " filtering=" + FilterName(unit.getTextureFiltering(Ogre::FT_MIN)) + "," +
         FilterName(unit.getTextureFiltering(Ogre::FT_MAG)) + "," +
         FilterName(unit.getTextureFiltering(Ogre::FT_MIP));
}

// The materials of our group in the order the script defined them: resource
// handles are handed out in creation order.
std::vector<Ogre::MaterialPtr> CheckedMaterials() {
  std::map<Ogre::ResourceHandle, Ogre::MaterialPtr> byHandle;
  auto resources = Ogre::MaterialManager::getSingleton().getResourceIterator();
  while (resources.hasMoreElements()) {
    const Ogre::ResourcePtr resource = resources.getNext();
    if (resource->getGroup() == TOgreSession::Group)
      byHandle.emplace(resource->getHandle(), Ogre::static_pointer_cast<Ogre::Material>(resource));
  }
  std::vector<Ogre::MaterialPtr> materials;
  for (const auto& [handle, material] : byHandle) materials.push_back(material);
  return materials;
}

std::vector<std::string> Describe(const std::vector<Ogre::MaterialPtr>& materials) {
  std::vector<std::string> lines;
  for (const auto& material : materials) {
    lines.push_back("material " + material->getName());
    for (unsigned short t = 0; t < material->getNumTechniques(); ++t) {
      const Ogre::Technique& technique = *material->getTechnique(t);
      lines.push_back("technique " + std::to_string(t));
      for (unsigned short p = 0; p < technique.getNumPasses(); ++p) {
        const Ogre::Pass& pass = *technique.getPass(p);
        lines.push_back(DescribePass(p, pass));
        for (unsigned short u = 0; u < pass.getNumTextureUnitStates(); ++u)
          lines.push_back(DescribeTextureUnit(u, *pass.getTextureUnitState(u)));
      }
    }
  }
  return lines;
}

int Check(const std::string& fileName) {
  TOgreSession ogre;
  ogre.ParseMaterialScript(fileName);
  std::vector<std::string> problems = ogre.Errors;
  problems.insert(problems.end(), ogre.Warnings.begin(), ogre.Warnings.end());

  const std::vector<Ogre::MaterialPtr> materials = CheckedMaterials();
  // A script that OGRE reads as empty cannot be what we meant to write.
  if (materials.empty() && problems.empty()) problems.push_back("the script defines no material");

  if (!problems.empty()) {
    for (const auto& problem : problems) std::cerr << "material_check: " << problem << "\n";
    return 1;
  }
  for (const auto& line : Describe(materials)) std::cout << line << "\n";
  std::cout.flush();
  return std::cout ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: material_check FILE\n";
    return 2;
  }
  try {
    return Check(argv[1]);
  } catch (const std::exception& e) {
    // Set-up failures (Ogre::Exception derives from std::exception).
    std::cerr << "material_check: " << e.what() << "\n";
    return 1;
  }
}
