// Reading a recording at its own sample rate and writing the render as a float
// WAV. A browser decodes audio only at its context's rate, so the file's rate is
// read from its header first (WAV, RF64, AIFF, FLAC, Ogg Vorbis/Opus/FLAC, MP3),
// and the file decoded in a context of that rate.
//
// A plain WAV of integer or float samples is read here instead, to the bit as the
// brevander tool reads it: an integer n of b bits becomes n / 2^(b-1) (unsigned
// 8-bit centred first), rounded to single precision. The browser's decoder maps
// positive integers by 2^(b-1) - 1 instead, which a render would carry into its
// output.

// Larger files are refused before they are read: decoding takes several copies.
export const MAX_FILE_BYTES = 1024 * 1024 * 1024;
// A render's output, in float WAV bytes, must fit one of the browser's buffers and
// a plain WAV's 4 GiB.
export const MAX_RENDER_BYTES = 1536 * 1024 * 1024;

export class AudioFileError extends Error {}

// Typed arrays read in the machine's byte order; WAV's is little-endian.
const LITTLE_ENDIAN = new Uint8Array(new Uint16Array([1]).buffer)[0] === 1;

const ascii = (bytes, at, length) => String.fromCharCode(...bytes.subarray(at, at + length));

// The chunks after a RIFF file's (little-endian sizes) or an IFF file's (big-endian)
// 12-byte header, as far as the bytes go: {id, at (where its body starts), size}.
function* chunks(bytes, view, littleEndian) {
  for (let at = 12; at + 8 <= bytes.length; ) {
    const size = view.getUint32(at + 4, littleEndian);
    yield { id: ascii(bytes, at, 4), at: at + 8, size };
    at += 8 + size + (size & 1);
  }
}

function wavFormat(bytes, view) {
  for (const { id, at } of chunks(bytes, view, true)) {
    if (id === 'fmt ' && at + 8 <= bytes.length) {
      return { channels: view.getUint16(at + 2, true), rateHz: view.getUint32(at + 4, true) };
    }
  }
  return null;
}

// An IEEE 754 80-bit extended number, as AIFF stores its rate.
function extended(view, at) {
  const exponent = view.getUint16(at) & 0x7fff;
  const mantissa = view.getUint32(at + 2) * 2 ** 32 + view.getUint32(at + 6);
  return mantissa * 2 ** (exponent - 16383 - 63);
}

function aiffFormat(bytes, view) {
  for (const { id, at } of chunks(bytes, view, false)) {
    if (id === 'COMM' && at + 18 <= bytes.length) {
      const integer = ascii(bytes, 8, 4) === 'AIFF' || (at + 22 <= bytes.length && ['NONE', 'twos'].includes(ascii(bytes, at + 18, 4)));
      return { channels: view.getUint16(at), rateHz: Math.round(extended(view, at + 8)), integerBits: integer ? view.getUint16(at + 6) : 0 };
    }
  }
  return null;
}

function flacStreamInfo(bytes, at) {
  if (at + 13 > bytes.length) return null;
  return {
    rateHz: (bytes[at + 10] << 12) | (bytes[at + 11] << 4) | (bytes[at + 12] >> 4),
    channels: ((bytes[at + 12] >> 1) & 7) + 1,
    integerBits: (((bytes[at + 12] & 1) << 4) | (bytes[at + 13] >> 4)) + 1,
  };
}

function oggFormat(bytes, view) {
  const packet = 27 + bytes[26];
  if (packet + 20 > bytes.length) return null;
  if (bytes[packet] === 1 && ascii(bytes, packet + 1, 6) === 'vorbis') {
    return { channels: bytes[packet + 11], rateHz: view.getUint32(packet + 12, true) };
  }
  if (ascii(bytes, packet, 8) === 'OpusHead') {
    // Opus always decodes at 48 kHz, whatever rate its source had.
    return { channels: bytes[packet + 9], rateHz: 48000 };
  }
  if (ascii(bytes, packet, 5) === '\x7fFLAC') return flacStreamInfo(bytes, packet + 17);
  return null;
}

function mp3Format(bytes) {
  let at = 0;
  if (ascii(bytes, 0, 3) === 'ID3') {
    at = 10 + ((bytes[6] << 21) | (bytes[7] << 14) | (bytes[8] << 7) | bytes[9]);
  }
  for (const end = Math.min(bytes.length - 4, at + 65536); at < end; ++at) {
    if (bytes[at] !== 0xff || (bytes[at + 1] & 0xe0) !== 0xe0) continue;
    const version = (bytes[at + 1] >> 3) & 3;  // 0: 2.5, 2: 2, 3: 1
    const rateIndex = (bytes[at + 2] >> 2) & 3;
    if (version === 1 || rateIndex === 3) continue;
    const base = [44100, 48000, 32000][rateIndex];
    const rateHz = version === 3 ? base : version === 2 ? base / 2 : base / 4;
    return { channels: (bytes[at + 3] >> 6) === 3 ? 1 : 2, rateHz };
  }
  return null;
}

// The samples of a plain WAV (PCM of 8 to 32 bits, or float of 32 or 64 bits;
// WAVE_FORMAT_EXTENSIBLE too) as {channels, rateHz, data: [Float32Array...]}; null
// for any other file, which the browser then decodes. `channelArrays(channels,
// frames)` gives the arrays to fill, so that they can be an AudioBuffer's own.
export function readPlainWav(buffer, channelArrays = (channels, frames) =>
  Array.from({ length: channels }, () => new Float32Array(frames))) {
  const bytes = new Uint8Array(buffer);
  const view = new DataView(buffer);
  if (bytes.length < 12 || ascii(bytes, 0, 4) !== 'RIFF' || ascii(bytes, 8, 4) !== 'WAVE') return null;
  let format = null;
  let data = null;
  for (const { id, at, size } of chunks(bytes, view, true)) {
    // A format chunk the file holds only part of leaves the file to the browser,
    // which refuses it as it refuses any broken file.
    if (id === 'fmt ' && size >= 16 && at + size <= bytes.length) {
      let tag = view.getUint16(at, true);
      if (tag === 0xfffe && size >= 40) tag = view.getUint16(at + 24, true);
      format = { tag, channels: view.getUint16(at + 2, true), rateHz: view.getUint32(at + 4, true), bits: view.getUint16(at + 14, true) };
    } else if (id === 'data') {
      // A header that promises more than the file holds: as far as it goes.
      data = { at, size: Math.min(size, bytes.length - at) };
      break;
    }
  }
  if (!format || !data || format.channels < 1) return null;
  const { tag, channels, rateHz, bits } = format;
  const width = bits / 8;
  const integer = tag === 1 && [8, 16, 24, 32].includes(bits);
  const float = tag === 3 && (bits === 32 || bits === 64);
  if (!integer && !float) return null;
  const frames = Math.floor(data.size / (width * channels));
  if (channels > 2) return { channels, rateHz, data: [] };
  const out = channelArrays(channels, frames);
  const scale = 2 ** (bits - 1);
  const typed = LITTLE_ENDIAN && bits !== 24
    ? { 8: Uint8Array, 16: Int16Array, 32: float ? Float32Array : Int32Array, 64: Float64Array }[bits] : null;
  const toSample = float ? (n) => n
    : bits === 8 ? (n) => (n - 128) / scale
      : bits === 32 ? (n) => Math.fround(n) / scale : (n) => n / scale;
  // Piece by piece, each read as a typed array of its sample type: read one by one
  // through a DataView, a long file took longer to read than to render. 24-bit
  // samples have no typed array.
  const piece = 1 << 16;
  for (let from = 0; from < frames; from += piece) {
    const n = Math.min(piece, frames - from);
    const at = data.at + from * width * channels;
    let samples;
    if (typed) {
      // A view where the samples are aligned, as they are in most files; a copy where not.
      samples = at % width === 0 ? new typed(buffer, at, n * channels) : new typed(buffer.slice(at, at + n * width * channels));
    } else {
      samples = new Float64Array(n * channels);
      for (let i = 0, p = at; i < samples.length; ++i, p += width) {
        samples[i] = bits === 24 ? (bytes[p] | (bytes[p + 1] << 8) | (bytes[p + 2] << 16)) << 8 >> 8
          : float ? (bits === 32 ? view.getFloat32(p, true) : view.getFloat64(p, true))
            : bits === 8 ? bytes[p] : bits === 16 ? view.getInt16(p, true) : view.getInt32(p, true);
      }
    }
    for (let c = 0; c < channels; ++c) {
      const channel = out[c];
      for (let f = 0; f < n; ++f) channel[from + f] = toSample(samples[f * channels + c]);
    }
  }
  return { channels, rateHz, data: out };
}

// {channels, rateHz} from the header, or null for a format not known here.
export function sniffFormat(buffer) {
  const bytes = new Uint8Array(buffer);
  const view = new DataView(buffer);
  if (bytes.length < 12) return null;
  const magic = ascii(bytes, 0, 4);
  if ((magic === 'RIFF' || magic === 'RF64' || magic === 'BW64') && ascii(bytes, 8, 4) === 'WAVE') return wavFormat(bytes, view);
  if (magic === 'FORM' && ['AIFF', 'AIFC'].includes(ascii(bytes, 8, 4))) return aiffFormat(bytes, view);
  if (magic === 'fLaC') return flacStreamInfo(bytes, 8);
  if (magic === 'OggS' && bytes.length >= 28) return oggFormat(bytes, view);
  return mp3Format(bytes);
}

// The file decoded at its own rate: {buffer (an AudioBuffer, one or two channels),
// rateHz, rateKnown}. Throws AudioFileError with a message for the user.
export async function decodeRecording(file, fallbackRateHz) {
  if (file.size === 0) throw new AudioFileError(`${file.name} is empty.`);
  if (file.size > MAX_FILE_BYTES) {
    throw new AudioFileError(`${file.name} is ${Math.round(file.size / 2 ** 20)} MB, more than this page can hold in memory (${MAX_FILE_BYTES / 2 ** 20} MB); render it with the brevander tool.`);
  }
  let bytes;
  try {
    bytes = await file.arrayBuffer();
  } catch (error) {
    throw new AudioFileError(`${file.name} could not be read into memory (${error.message}).`);
  }
  const format = sniffFormat(bytes);
  if (format && format.channels > 2) {
    throw new AudioFileError(`${file.name} has ${format.channels} channels; Brevander takes mono or stereo recordings.`);
  }
  const rateHz = format && format.rateHz > 0 ? format.rateHz : fallbackRateHz;
  // Read straight into the AudioBuffer: a copy of a long file costs a tenth of a second.
  let plainBuffer = null;
  const plain = readPlainWav(bytes, (channels, frames) => {
    if (frames === 0) throw new AudioFileError(`${file.name} holds no audio.`);
    try {
      plainBuffer = new AudioBuffer({ numberOfChannels: channels, length: frames, sampleRate: rateHz });
    } catch {
      throw new AudioFileError(`${file.name} is at ${rateHz} Hz, a sample rate this browser cannot work at (it takes 3000 to 768000 Hz in most browsers).`);
    }
    return Array.from({ length: channels }, (_, c) => plainBuffer.getChannelData(c));
  });
  if (plain && plainBuffer) return { buffer: plainBuffer, rateHz, rateKnown: true };
  let context;
  try {
    context = new OfflineAudioContext(1, 1, rateHz);
  } catch {
    throw new AudioFileError(`${file.name} is at ${rateHz} Hz, a sample rate this browser cannot work at (it takes 3000 to 768000 Hz in most browsers).`);
  }
  let buffer;
  try {
    buffer = await context.decodeAudioData(bytes);
  } catch (error) {
    if (error instanceof RangeError) {
      throw new AudioFileError(`${file.name} is too large to decode in this page's memory; render it with the brevander tool.`);
    }
    throw new AudioFileError(`${file.name} is not a recording this browser can decode (WAV, FLAC, Ogg, MP3 and the like).`);
  }
  if (buffer.numberOfChannels > 2) {
    throw new AudioFileError(`${file.name} has ${buffer.numberOfChannels} channels; Brevander takes mono or stereo recordings.`);
  }
  if (buffer.length === 0) throw new AudioFileError(`${file.name} holds no audio.`);
  if (format && format.integerBits === 16) asToolReadsSixteenBits(buffer);
  return { buffer, rateHz, rateKnown: format !== null };
}

// The browser's decoder gives a positive 16-bit sample n as about n / 32767; the
// tool reads every n as n / 32768. The integer is recovered and divided again.
// (Its 24-bit samples already match.)
function asToolReadsSixteenBits(buffer) {
  for (let c = 0; c < buffer.numberOfChannels; ++c) {
    const samples = buffer.getChannelData(c);
    for (let i = 0; i < samples.length; ++i) {
      const y = samples[i];
      samples[i] = Math.round(y > 0 ? y * 32767 : y * 32768) / 32768;
    }
  }
}

// A stereo AudioBuffer of the recording, a mono one as a centred source.
export function asStereo(buffer) {
  if (buffer.numberOfChannels === 2) return buffer;
  const stereo = new AudioBuffer({ numberOfChannels: 2, length: buffer.length, sampleRate: buffer.sampleRate });
  stereo.copyToChannel(buffer.getChannelData(0), 0);
  stereo.copyToChannel(buffer.getChannelData(buffer.numberOfChannels > 1 ? 1 : 0), 1);
  return stereo;
}

// The header of a 32-bit float WAV (format 3, with the fact chunk float WAVs
// carry) of `frames` frames, whose interleaved samples follow it.
export function floatWavHeader(frames, channels, rateHz) {
  const dataBytes = frames * channels * 4;
  if (dataBytes > MAX_RENDER_BYTES) throw new AudioFileError('The render is too long to write as one WAV in this page; render it with the brevander tool.');
  const header = new DataView(new ArrayBuffer(58));
  const text = (at, s) => [...s].forEach((c, i) => header.setUint8(at + i, c.charCodeAt(0)));
  text(0, 'RIFF');
  header.setUint32(4, 50 + dataBytes, true);
  text(8, 'WAVE');
  text(12, 'fmt ');
  header.setUint32(16, 18, true);
  header.setUint16(20, 3, true);
  header.setUint16(22, channels, true);
  header.setUint32(24, rateHz, true);
  header.setUint32(28, rateHz * channels * 4, true);
  header.setUint16(32, channels * 4, true);
  header.setUint16(34, 32, true);
  header.setUint16(36, 0, true);
  text(38, 'fact');
  header.setUint32(42, 4, true);
  header.setUint32(46, frames, true);
  text(50, 'data');
  header.setUint32(54, dataBytes, true);
  return header.buffer;
}
