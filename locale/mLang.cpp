#include "locale/mLang.h"

#include <cstdlib>
#include <exception>

#include "platform/ErrLog.h"

namespace mLang {
namespace {

// 204 records "/tag|lcid|language|country", closed by a final "/". Order matters: the
// first match wins, so record 153 hides its twin 156 from every lookup.
const char16_t kTable[] =
    u"/sq-AL|041c|Albanian|Albania"
    u"/gsw-FR|0484|Alsaian|France"
    u"/am-ET|045e|Amharic|Ethiopia"
    u"/ar-SA|0401|Arabic|Saudi Arabia"
    u"/ar-IQ|0801|Arabic|Iraq"
    u"/ar-EG|0c01|Arabic|Egypt"
    u"/ar-LY|1001|Arabic|Libya"
    u"/ar-DZ|1401|Arabic|Algeria"
    u"/ar-MA|1801|Arabic|Morocco"
    u"/ar-TN|1c01|Arabic|Tunisia"
    u"/ar-OM|2001|Arabic|Oman"
    u"/ar-YE|2401|Arabic|Yemen"
    u"/ar-JO|2c01|Arabic|Jordan"
    u"/ar-LB|3001|Arabic|Lebanon"
    u"/ar-KW|3401|Arabic|Kuwait"
    u"/ar-AE|3801|Arabic|U.A.E."
    u"/ar-BH|3c01|Arabic|Bahrain"
    u"/ar-QA|4001|Arabic|Qatar"
    u"/hy-AM|042b|Armenian|Armenia"
    u"/as-IN|044d|Assamese|India"
    u"/az-Cyrl-AZ|082c|Azeri (Cyrillic)|Azerbaijan"
    u"/az-Latn-AZ|042c|Azeri (Latin)|Azerbaijan"
    u"/ba-RU|046d|Bashkir|Russia"
    u"/eu-ES|042d|Basque|(Basque)"
    u"/be-BY|0423|Belarusian|Belarus"
    u"/bn-IN|0445|Bengali|India"
    u"/bn-BD|0845|Bengali|Bangladesh"
    u"/bs-Cyrl-BA|201a|Bosnian (Cyrillic)|Bosnia and Herzegovina"
    u"/bs-Latn-BA|141a|Bosnian (Latin)|Bosnia and Herzegovina"
    u"/br-FR|047e|Breton|France"
    u"/bg-BG|0402|Bulgarian|Bulgaria"
    u"/ca-ES|0403|Catalan|(Catalan)"
    u"/zh-Hans|0004|Chinese|Simplified"
    u"/zh-TW|0404|Chinese|Taiwan"
    u"/zh-CN|0804|Chinese|People's Republic of China"
    u"/zh-HK|0c04|Chinese|Hong Kong S.A.R."
    u"/zh-SG|1004|Chinese|Singapore"
    u"/zh-MO|1404|Chinese|Macao S.A.R."
    u"/zh-Hant|7c04|Chinese|Traditional"
    u"/co-FR|0483|Corsican|France"
    u"/hr-HR|041a|Croatian|Croatia"
    u"/hr-BA|101a|Croatian|Bosnia and Herzegovina"
    u"/cs-CZ|0405|Czech|Czech Republic"
    u"/da-DK|0406|Danish|Denmark"
    u"/prs-AF|048c|Dari|Afghanistan"
    u"/nl-BE|0813|Dutch|Belgium"
    u"/nl-NL|0413|Dutch|Netherlands"
    u"/en-CA|1009|English|Canada"
    u"/en-JM|2009|English|Jamaica"
    u"/en-CB|2409|English|Caribbean"
    u"/en-BZ|2809|English|Belize"
    u"/en-TT|2c09|English|Trinidad and Tobago"
    u"/en-GB|0809|English|United Kingdom"
    u"/en-IE|1809|English|Ireland"
    u"/en-IN|4009|English|India"
    u"/en-ZA|1c09|English|South Africa"
    u"/en-ZW|3009|English|Zimbabwe"
    u"/en-AU|0c09|English|Australia"
    u"/en-PH|3409|English|Republic of the Philippines"
    u"/en-US|0409|English|United States"
    u"/en-MY|4409|English|Malaysia"
    u"/en-SG|4809|English|Singapore"
    u"/et-EE|0425|Estonian|Estonia"
    u"/fo-FO|0438|Faroese|Faroe Islands"
    u"/fil-PH|0464|Filipino|Philippines"
    u"/fr-CA|0c0c|French|Canada"
    u"/fr-FR|040c|French|France"
    u"/fr-MC|180c|French|Principality of Monaco"
    u"/fr-CH|100c|French|Switzerland"
    u"/fr-BE|080c|French|Belgium"
    u"/fr-LU|140c|French|Luxembourg"
    u"/fy-NL|0462|Frisian|Netherlands"
    u"/gl-ES|0456|Galician|Galician"
    u"/ka-GE|0437|Georgian|Georgia"
    u"/de-DE|0407|German|Germany"
    u"/de-CH|0807|German|Switzerland"
    u"/de-AT|0c07|German|Austria"
    u"/de-LI|1407|German|Liechtenstein"
    u"/de-LU|1007|German|Luxembourg"
    u"/el-GR|0408|Greek|Greece"
    u"/kl-GL|046f|Greenlandic|Greenland"
    u"/ha-Latn-NG|0468|Hausa (Latin)|Nigeria"
    u"/he-IL|040d|Hebrew|Israel"
    u"/hi-IN|0439|Hindi|India"
    u"/hu-HU|040e|Hungarian|Hungary"
    u"/is-IS|040f|Icelandic|Iceland"
    u"/ig-NG|0470|Igbo|Nigeria"
    u"/id-ID|0421|Indonesian|Indonesia"
    u"/iu-Cans-CA|045d|Inuktitut (Syllabics)|Canada"
    u"/iu-Latn-CA|085d|Inuktitut (Latin)|Canada"
    u"/ga-IE|083c|Irish|Ireland"
    u"/xh-ZA|0434|isiXhosa|South Africa"
    u"/zu-ZA|0435|isiZulu|South Africa"
    u"/it-IT|0410|Italian|Italy"
    u"/it-CH|0810|Italian|Switzerland"
    u"/ja-JP|0411|Japanese|Japan"
    u"/kn-IN|044b|Kannada|India"
    u"/kk-KZ|043f|Kazakh|Kazakhstan"
    u"/km-KH|0453|Khmer|Cambodia"
    u"/rw-RW|0487|Kinyarwanda|Rwanda"
    u"/sw-KE|0441|Kiswahili|Kenya"
    u"/kok-IN|0457|Konkani|India"
    u"/ko-KR|0412|Korean|Korea"
    u"/ky-KG|0440|Kyrgyz|Kyrgyzstan"
    u"/lo-LA|0454|Lao|Lao P.D.R."
    u"/lv-LV|0426|Latvian|Latvia"
    u"/lt-LT|0427|Lithuanian|Lithuania"
    u"/dsb-DE|082e|Lower Sorbian|Germany"
    u"/lb-LU|046e|Luxembourgish|Luxembourg"
    u"/mk-MK|042f|Macedonian (FYROM)|Macedonia, Former Yugoslav Republic of"
    u"/ms-MY|043e|Malay|Malaysia"
    u"/ms-BN|083e|Malay|Brunei Darussalam"
    u"/ml-IN|044c|Malayalam|India"
    u"/mt-MT|043a|Maltese|Malta"
    u"/mi-NZ|0481|Maori|New Zealand"
    u"/arn-CL|047a|Mapudungun|Chile"
    u"/mr-IN|044e|Marathi|India"
    u"/moh-CA|047c|Mohawk|Mohawk"
    u"/mn-MN|0450|Mongolian|Mongolia"
    u"/ne-NP|0461|Nepali|Nepal"
    u"/nb-NO|0414|Norwegian (Bokm\u00E5l)|Norway"
    u"/nn-NO|0814|Norwegian (Nynorsk)|Norway"
    u"/oc-FR|0482|Occitan|France"
    u"/or-IN|0448|Oriya|India"
    u"/ps-AF|0463|Pashto|Afghanistan"
    u"/fa-IR|0429|Persian|Iran"
    u"/pl-PL|0415|Polish|Poland"
    u"/pt-BR|0416|Portuguese|Brazil"
    u"/pt-PT|0816|Portuguese|Portugal"
    u"/pa-IN|0446|Punjabi|India"
    u"/quz-BO|046b|Quechua|Bolivia"
    u"/quz-EC|086b|Quechua|Ecuador"
    u"/quz-PE|0c6b|Quechua|Peru"
    u"/ro-RO|0418|Romanian|Romania"
    u"/rm-CH|0417|Romansh|Switzerland"
    u"/ru-RU|0419|Russian|Russia"
    u"/sah-RU|0485|Sakha|Russia"
    u"/smn-FI|243b|Sami, Inari|Finland"
    u"/smj-SE|143b|Sami, Lule|Sweden"
    u"/smj-NO|103b|Sami, Lule|Norway"
    u"/se-NO|043b|Sami, Northern|Norway"
    u"/se-SE|083b|Sami, Northern|Sweden"
    u"/se-FI|0c3b|Sami, Northern|Finland"
    u"/sms-FI|203b|Sami, Skolt|Finland"
    u"/sma-NO|183b|Sami, Southern|Norway"
    u"/sma-SE|1c3b|Sami, Southern|Sweden"
    u"/sa-IN|044f|Sanskrit|India"
    u"/gd-GB|0491|Scottish Gaelic|United Kingdom"
    u"/sr-Cyrl-CS|0c1a|Serbian (Cyrillic) sr-Cyrl-CS|Serbia and Montenegro (Former)"
    u"/sr-Cyrl-RS|281a|Serbian (Cyrillic) sr-Cyrl-RS|Serbia"
    u"/sr-Cyrl-ME|301a|Serbian(Cyrillic) sr-Cyrl-ME|Montenegro"
    u"/sr-Cyrl-BA|1c1a|Serbian (Cyrillic)|Bosnia and Herzegovina"
    u"/sr-Latn-CS|081a|Serbian (Latin) sr-Latn-CS|Serbia and Montenegro (Former)"
    u"/sr-Latn-RS|241a|Serbian (Latin) sr-Latn-RS|Serbia"
    u"/sr-Latn-ME|2c1a|Serbian (Latin) Sr-Latn-ME|Montenegro"
    u"/sr-Latn-CS|081a|Serbian (Latin)|Montenegro"
    u"/sr-Latn-BA|181a|Serbian (Latin)|Bosnia and Herzegovina"
    u"/nso-ZA|046c|Sesotho sa Leboa|South Africa"
    u"/tn-ZA|0432|Setswana|South Africa"
    u"/si-LK|045b|Sinhala|Sri Lanka"
    u"/sk-SK|041b|Slovak|Slovakia"
    u"/sl-SI|0424|Slovenian|Slovenia"
    u"/es-MX|080a|Spanish|Mexico"
    u"/es-GT|100a|Spanish|Guatemala"
    u"/es-CR|140a|Spanish|Costa Rica"
    u"/es-PA|180a|Spanish|Panama"
    u"/es-DO|1c0a|Spanish|Dominican Republic"
    u"/es-VE|200a|Spanish|Venezuela"
    u"/es-CO|240a|Spanish|Colombia"
    u"/es-PE|280a|Spanish|Peru"
    u"/es-AR|2c0a|Spanish|Argentina"
    u"/es-EC|300a|Spanish|Ecuador"
    u"/es-CL|340a|Spanish|Chile"
    u"/es-PY|3c0a|Spanish|Paraguay"
    u"/es-SV|440a|Spanish|El Salvador"
    u"/es-HN|480a|Spanish|Honduras"
    u"/es-NI|4c0a|Spanish|Nicaragua"
    u"/es-PR|500a|Spanish|Puerto Rico"
    u"/es-US|540a|Spanish|United States"
    u"/es-UY|380a|Spanish|Uruguay"
    u"/es-ES|0c0a|Spanish|Spain"
    u"/st-ZA|0430|Sutu|South Africa"
    u"/sv-SE|041d|Swedish|Sweden"
    u"/sv-FI|081d|Swedish|Finland"
    u"/syr-SY|045a|Syriac|Syria"
    u"/tzm-Latn-DZ|085f|Tamazight (Latin)|Algeria"
    u"/ta-IN|0449|Tamil|India"
    u"/tt-RU|0444|Tatar|Russia"
    u"/te-IN|044a|Telugu|India"
    u"/th-TH|041e|Thai|Thailand"
    u"/bo-CN|0451|Tibetan|People's Republic of China"
    u"/tr-TR|041f|Turkish|Turkey"
    u"/tk-TM|0442|Turkmen|Turkmenistan"
    u"/ug-CN|0480|Uighur|People's Republic of China"
    u"/uk-UA|0422|Ukrainian|Ukraine"
    u"/wen-DE|042e|Upper Sorbian|Germany"
    u"/ur-PK|0420|Urdu|Islamic Republic of Pakistan"
    u"/uz-Cyrl-UZ|0843|Uzbek (Cyrillic)|Uzbekistan"
    u"/uz-Latn-UZ|0443|Uzbek (Latin)|Uzbekistan"
    u"/vi-VN|042a|Vietnamese|Vietnam"
    u"/cy-GB|0452|Welsh|United Kingdom"
    u"/wo-SN|0488|Wolof|Senegal"
    u"/ii-CN|0478|Yi|People's Republic of China"
    u"/yo-NG|046a|Yoruba|Nigeria"
    u"/";

// Upper-cased once so that every search is a plain case-insensitive find.
const Text& TableText() {
  static const Text t(kTable);
  return t;
}
const Text& TableUpper() {
  static const Text t = txt::UCase(kTable);
  return t;
}

size_t FindNoCase(TextView what, size_t from = 0) {
  if (what.empty()) return Text::npos;
  return TableUpper().find(txt::UCase(what), from);
}

// Fields are read from a window of at most 100 characters; a field that does not end in
// it is not taken.
constexpr size_t kWindow = 100;

Text FieldAt(size_t start, char16_t end) {
  const Text& t = TableText();
  if (start >= t.size()) return Text();
  TextView w = TextView(t).substr(start, kWindow);
  size_t e = w.find(end);
  if (e == TextView::npos) return Text();
  return Text(w.substr(0, e));
}

size_t AfterNext(size_t from, char16_t c) {
  size_t p = TableText().find(c, from);
  return p == Text::npos ? Text::npos : p + 1;
}

// "0000" + lcid, last four characters, upper case.
Text NormaliseLCID(TextView lcid) {
  Text k = u"0000" + Text(lcid);
  return txt::UCase(k.substr(k.size() - 4));
}

// Position just after "|lcid|" in the table, or npos.
size_t FindLCID(TextView lcid) {
  Text key = u"|" + NormaliseLCID(lcid) + u"|";
  size_t p = FindNoCase(key);
  return p == Text::npos ? Text::npos : p + key.size();
}

}  // namespace

Text GetLCIDLangName(TextView lcid) {
  try {
    size_t p = FindLCID(lcid);
    return p == Text::npos ? Text() : FieldAt(p, u'|');
  } catch (const std::exception&) {
    ErrLog::Error(7, u"Out of memory", "mLang", "GetLCIDLangName", ErrLog::Kind::Function);
    return Text();
  }
}

Text LCIDtoISO(TextView lcid) {
  try {
    size_t p = FindLCID(lcid);
    if (p == Text::npos) return Text();
    size_t slash = TableText().rfind(u'/', p);
    if (slash == Text::npos) return Text();
    return FieldAt(slash + 1, u'|');
  } catch (const std::exception&) {
    ErrLog::Error(7, u"Out of memory", "mLang", "LCIDtoISO", ErrLog::Kind::Function);
    return Text();
  }
}

Text GetISOLangName(TextView iso) {
  try {
    Text key = u"/" + Text(iso) + u"|";
    size_t p = FindNoCase(key);
    if (p != Text::npos) {
      p += key.size();
    } else {
      // Only the leading part of a tag ("fr", "az-Cyrl"): the first record it begins.
      p = FindNoCase(u"/" + Text(iso) + u"-");
      if (p == Text::npos) return Text();
      p = AfterNext(p, u'|');
    }
    p = p == Text::npos ? p : AfterNext(p, u'|');  // past the LCID
    return p == Text::npos ? Text() : FieldAt(p, u'|');
  } catch (const std::exception&) {
    ErrLog::Error(7, u"Out of memory", "mLang", "GetISOLangName", ErrLog::Kind::Function);
    return Text();
  }
}

Text GetISOCountryName(TextView iso) {
  try {
    Text key = u"/" + Text(iso) + u"|";
    size_t p = FindNoCase(key);
    if (p == Text::npos) return Text();
    p = AfterNext(p + key.size(), u'|');      // past the LCID
    if (p != Text::npos) p = AfterNext(p, u'|');  // past the language
    return p == Text::npos ? Text() : FieldAt(p, u'/');
  } catch (const std::exception&) {
    ErrLog::Error(7, u"Out of memory", "mLang", "GetISOCountryName", ErrLog::Kind::Function);
    return Text();
  }
}

std::vector<Text> Get_LCDI_ISO_AllLangList() {
  std::vector<Text> list;
  try {
    const Text& t = TableText();
    // Pieces between slashes, leaving out the empty first and last ones.
    size_t start = 1;
    while (start < t.size()) {
      size_t end = t.find(u'/', start);
      if (end == Text::npos) break;
      list.push_back(t.substr(start, end - start));
      start = end + 1;
    }
  } catch (const std::exception&) {
    ErrLog::Error(7, u"Out of memory", "mLang", "Get_LCDI_ISO_AllLangList", ErrLog::Kind::Function);
  }
  return list;
}

Text LCIDFromLocaleName(std::string_view locale) {
  try {
    // language[_territory][.codeset][@modifier]
    std::string name(locale);
    std::string modifier;
    size_t at = name.find('@');
    if (at != std::string::npos) {
      modifier = name.substr(at + 1);
      name.erase(at);
    }
    size_t dot = name.find('.');
    if (dot != std::string::npos) name.erase(dot);
    if (name.empty() || name == "C" || name == "POSIX") return Text();
    for (char& c : name)
      if (c == '_') c = '-';
    size_t dash = name.find('-');
    std::string lang = name.substr(0, dash);
    std::string region = dash == std::string::npos ? std::string() : name.substr(dash + 1);
    if (lang.empty()) return Text();
    std::string script;
    if (modifier == "latin") script = "Latn";
    else if (modifier == "cyrillic") script = "Cyrl";

    auto lcidOfTag = [](const std::string& tag) -> Text {
      Text key = u"/" + txt::FromUtf8(tag) + u"|";
      size_t p = FindNoCase(key);
      return p == Text::npos ? Text() : FieldAt(p + key.size(), u'|');
    };
    Text lcid;
    if (!region.empty()) {
      if (!script.empty()) lcid = lcidOfTag(lang + "-" + script + "-" + region);
      if (lcid.empty()) lcid = lcidOfTag(name);
      if (lcid.empty()) {
        // A tag with a script the locale name does not spell: "uz_UZ" is uz-Latn-UZ or
        // uz-Cyrl-UZ; take the first.
        Text prefix = u"/" + txt::FromUtf8(lang) + u"-";
        Text suffix = u"-" + txt::UCase(txt::FromUtf8(region)) + u"|";
        for (size_t p = FindNoCase(prefix); p != Text::npos && lcid.empty(); p = FindNoCase(prefix, p + 1)) {
          size_t bar = TableText().find(u'|', p);
          if (bar == Text::npos) break;
          Text tag = TableUpper().substr(p, bar + 1 - p);
          if (tag.size() > suffix.size() && tag.compare(tag.size() - suffix.size(), suffix.size(), suffix) == 0)
            lcid = FieldAt(bar + 1, u'|');
        }
      }
    }
    if (lcid.empty()) {
      // A bare language: its primary language with the default sub-language, when listed.
      size_t p = FindNoCase(u"/" + txt::FromUtf8(lang) + u"-");
      if (p == Text::npos) p = FindNoCase(u"/" + txt::FromUtf8(lang) + u"|");
      if (p == Text::npos) return Text();
      size_t bar = TableText().find(u'|', p);
      Text found = bar == Text::npos ? Text() : FieldAt(bar + 1, u'|');
      if (found.size() != 4) return Text();
      long v = std::strtol(txt::ToUtf8(found).c_str(), nullptr, 16);
      static const char kHex[] = "0123456789abcdef";
      long primary = 0x0400 | (v & 0x3FF);
      Text def;
      for (int shift = 12; shift >= 0; shift -= 4) def.push_back(static_cast<char16_t>(kHex[(primary >> shift) & 0xF]));
      lcid = GetLCIDLangName(def).empty() ? found : def;
    }
    return txt::UCase(lcid);
  } catch (const std::exception&) {
    ErrLog::Error(7, u"Out of memory", "mLang", "LCIDFromLocaleName", ErrLog::Kind::Function);
    return Text();
  }
}

Text GetUserLangLCID() {
  // The locale the user asked for, in the order the C library weighs the variables.
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return LCIDFromLocaleName(v);
  }
  return Text();
}

}  // namespace mLang
