import { cString } from './brevander-core.js';

// The seven parameters as the page shows them. Their names, units, ranges,
// defaults and steps come from the module, which has them from the table the
// plug-in uses, as it maps the values and gives their texts, and so do the factory
// presets; what is the page's own is here: the words of its address and the
// equivalent command line.

// The address's keys, in the module's order of the parameters.
const ADDRESS_KEYS = ['dif-vlf', 'vlf-cut', 'width', 'spacing', 'sum-shelf', 'cut-gain', 'cut-fc'];

// {name, key, isSwitch, unit, minimum, maximum, step, defaultValue} per parameter,
// in the unit a user reads (the gain in dB, a switch 0 to 1); filled by
// readParameters once the module is there.
export const PARAMETERS = [];

// {id, name, setting} per factory preset, the setting as defaultSetting gives one;
// filled by readParameters too.
export const PRESETS = [];

export function readParameters(exports) {
  const text = (at) => cString(exports, at);
  PARAMETERS.length = 0;
  for (let i = 0; i < exports.brevander_parameter_count(); ++i) {
    PARAMETERS.push({
      // A host's name may end in a blank; a user's never does.
      name: text(exports.brevander_parameter_name(i)).trim(),
      key: ADDRESS_KEYS[i],
      isSwitch: exports.brevander_parameter_is_switch(i) === 1,
      unit: text(exports.brevander_parameter_unit(i)),
      minimum: exports.brevander_parameter_minimum(i),
      maximum: exports.brevander_parameter_maximum(i),
      step: exports.brevander_parameter_step(i),
      defaultValue: exports.brevander_parameter_default(i),
    });
  }
  PRESETS.length = 0;
  for (let i = 0; i < exports.brevander_preset_count(); ++i) {
    PRESETS.push({
      id: text(exports.brevander_preset_id(i)),
      name: text(exports.brevander_preset_name(i)),
      setting: PARAMETERS.map((_, index) => {
        const value = exports.brevander_preset_value(i, index);
        return Number.isNaN(value) ? null : value;
      }),
    });
  }
}

// A setting: per parameter null (its default) or a value in the user's unit.
export function defaultSetting() {
  return PARAMETERS.map(() => null);
}

// A value as typed in an address: a switch's word or a plain number, whose range
// the module judges when it is given; null for anything else.
export function parseValue(parameter, text) {
  if (parameter.isSwitch) {
    const word = String(text).toLowerCase();
    if (['on', '1', 'true'].includes(word)) return 1;
    if (['off', '0', 'false'].includes(word)) return 0;
    return null;
  }
  return /^\s*[-+]?(\d+\.?\d*|\.\d+)\s*$/.test(String(text)) ? Number(text) : null;
}

// The setting in the page's address (after #), and what the address gives back;
// values that make no sense are listed in `refused`.
export function settingToHash(setting) {
  const parts = [];
  setting.forEach((value, i) => {
    if (value !== null) parts.push(`${PARAMETERS[i].key}=${PARAMETERS[i].isSwitch ? (value ? 'on' : 'off') : value}`);
  });
  return parts.join('&');
}

export function settingFromHash(hash) {
  const setting = defaultSetting();
  const refused = [];
  for (const part of hash.replace(/^#/, '').split('&').filter((p) => p.length > 0)) {
    const [key, text = ''] = part.split('=');
    const index = PARAMETERS.findIndex((p) => p.key === decodeURIComponent(key));
    const value = index < 0 ? null : parseValue(PARAMETERS[index], decodeURIComponent(text));
    if (value === null) {
      refused.push(decodeURIComponent(part));
    } else {
      setting[index] = value;
    }
  }
  return { setting, refused };
}

// The preset whose setting this is, value for value, as it is from choosing one
// until a control moves; null for any other setting.
export function presetOf(setting) {
  return PRESETS.find((preset) => preset.setting.every((value, i) => value === setting[i])) ?? null;
}

function shellQuoted(text) {
  return /^[\w.,/+:=@%-]+$/.test(text) ? text : `'${text.replaceAll("'", "'\\''")}'`;
}

// The tool's command line that renders the same bits: as float, as the page
// writes, whatever the input's sample type; a preset's setting by its id.
export function commandLine(inputName, outputName, setting) {
  const words = ['brevander', 'render', shellQuoted(inputName), shellQuoted(outputName), '--format', 'wav:float'];
  const preset = presetOf(setting);
  if (preset) return [...words, '--preset', shellQuoted(preset.id)].join(' ');
  setting.forEach((value, i) => {
    if (value === null) return;
    const p = PARAMETERS[i];
    const text = p.isSwitch ? (value ? 'on' : 'off') : String(value);
    words.push('--set', shellQuoted(`${p.name}=${text}`));
  });
  return words.join(' ');
}
