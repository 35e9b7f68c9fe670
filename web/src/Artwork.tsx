// Pictures shipped with the interface under images/: the catalog names a picture by a bare file
// name and the interface ships each as its own drawing with the same base name (".svg"). A
// picture that is not named or does not load shows the neutral placeholder.
import { useState } from 'react';

function pictureSource(fileName: string): string {
  return fileName ? `images/${fileName.replace(/\.[A-Za-z0-9]+$/, '')}.svg` : '';
}

export function Artwork({ fileName, className }: { fileName: string; className: string }) {
  const source = pictureSource(fileName);
  const [failed, setFailed] = useState('');
  const shown = source && failed !== source ? source : 'images/placeholder.svg';
  return <img className={className} src={shown} alt="" onError={() => setFailed(source)} />;
}
