// The seven parameters as the page shows them: names, units and ranges as a user
// reads them (the gain in dB), the texts a host shows, the page's address and the
// equivalent command line. The values themselves are mapped by the module.

export const PARAMETERS = [
  { name: 'Enable Dif VLF Filter', key: 'dif-vlf', kind: 'switch', defaultValue: 1 },
  { name: 'VLF Cut-Off', key: 'vlf-cut', kind: 'number', unit: 'Hz', minimum: 10, maximum: 110, step: 0.1, defaultValue: 20 },
  { name: 'LF Width', key: 'width', kind: 'number', unit: '%', minimum: 0, maximum: 200, step: 0.1, defaultValue: 100 },
  { name: 'Mic Spacing', key: 'spacing', kind: 'number', unit: 'cm', minimum: 1, maximum: 51, step: 0.1, defaultValue: 18 },
  { name: 'Enable Sum LF Shelf', key: 'sum-shelf', kind: 'switch', defaultValue: 1 },
  // The default is a linear 0.83: -1.618 dB, which no step of the slider hits.
  { name: 'Mid Bass Cut Gain', key: 'cut-gain', kind: 'decibels', unit: 'dB', minimum: -6.02, maximum: 6.02, step: 0.01, defaultValue: 20 * Math.log10(Math.fround(0.83)) },
  { name: 'Mid Bass Cut Fc', key: 'cut-fc', kind: 'number', unit: 'Hz', minimum: 10, maximum: 200, step: 0.1, defaultValue: 80 },
];

// A host's text for a number: the first `maxLength` characters of a fixed
// eight-character rendering whose digits are truncated, never rounded ("20.0",
// "100.", "-1.6").
export function numberText(value, maxLength = 4) {
  const budget = 8;
  let v = Math.fround(value);
  if (Number.isNaN(v)) return 'nan'.slice(0, maxLength);
  let count = 0;
  let negative = false;
  if (v < 0) {
    negative = true;
    v = -v;
    count = 1;
    if (v > 9999999) return 'Huge!'.slice(0, maxLength);
  } else if (v > 99999999) {
    return 'Huge!'.slice(0, maxLength);
  }
  let integer = '';
  let whole = Math.floor(v);
  count += 1;  // the point
  do {
    integer = String(Math.trunc(whole % 10)) + integer;
    whole /= 10;
    count += 1;
  } while (whole >= 1);
  let text = (negative ? '-' : '') + integer + '.';
  if (count >= budget) return text.slice(0, Math.min(budget, maxLength));
  const fractionDigits = budget - count;
  let m = (v % 1) * Math.pow(10, fractionDigits);
  let fraction = '';
  for (let i = 0; i < fractionDigits; ++i) {
    if (m <= 0) {
      fraction = '0' + fraction;
    } else {
      fraction = String(Math.trunc(m % 10)) + fraction;
      m /= 10;
    }
  }
  return (text + fraction).slice(0, maxLength);
}

// What a host shows for a parameter holding `stored` (the core's unit: a switch's
// raw value, the gain linear).
export function displayText(parameter, stored) {
  switch (parameter.kind) {
    case 'switch':
      return stored > 0.5 ? 'On' : 'Off';
    case 'decibels':
      return stored <= 0 ? '-oo' : numberText(Math.fround(Math.fround(Math.log10(stored)) * 20));
    default:
      return numberText(stored);
  }
}

// A setting: per parameter null (its default) or a value in the user's unit.
export function defaultSetting() {
  return PARAMETERS.map(() => null);
}

// A value as typed in an address or a form, in range; null for anything else.
export function parseValue(parameter, text) {
  if (parameter.kind === 'switch') {
    const word = String(text).toLowerCase();
    if (['on', '1', 'true'].includes(word)) return 1;
    if (['off', '0', 'false'].includes(word)) return 0;
    return null;
  }
  if (!/^\s*[-+]?(\d+\.?\d*|\.\d+)\s*$/.test(String(text))) return null;
  const value = Number(text);
  return value >= parameter.minimum && value <= parameter.maximum ? value : null;
}

// The setting in the page's address (after #), and what the address gives back;
// values that make no sense are listed in `refused`.
export function settingToHash(setting) {
  const parts = [];
  setting.forEach((value, i) => {
    if (value !== null) parts.push(`${PARAMETERS[i].key}=${PARAMETERS[i].kind === 'switch' ? (value ? 'on' : 'off') : value}`);
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

function shellQuoted(text) {
  return /^[\w.,/+:=@%-]+$/.test(text) ? text : `'${text.replaceAll("'", "'\\''")}'`;
}

// The tool's command line that renders the same bits: as float, as the page
// writes, whatever the input's sample type.
export function commandLine(inputName, outputName, setting) {
  const words = ['brevander', 'render', shellQuoted(inputName), shellQuoted(outputName), '--format', 'wav:float'];
  setting.forEach((value, i) => {
    if (value === null) return;
    const p = PARAMETERS[i];
    const text = p.kind === 'switch' ? (value ? 'on' : 'off') : String(value);
    words.push('--set', shellQuoted(`${p.name}=${text}`));
  });
  return words.join(' ');
}
