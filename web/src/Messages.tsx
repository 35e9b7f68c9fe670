// The host's notice (a polite live region), its error (an alert) and the announcements of an
// operation's start and end.
import { useEffect, useRef, useState } from 'react';
import { send } from './host';
import type { Snapshot } from './model';
import { operationTitle } from './text';

export function Messages({ snapshot }: { snapshot: Snapshot }) {
  return (
    <>
      {snapshot.error && (
        <div className="banner error" role="alert">
          <p>{snapshot.error}</p>
          <button type="button" aria-label="Dismiss error" onClick={() => send({ type: 'dismissError' })}>Dismiss</button>
        </div>
      )}
      <div className="notice-region" role="status" aria-live="polite">
        {snapshot.notice && (
          <div className="banner notice">
            <p>{snapshot.notice}</p>
            <button type="button" aria-label="Dismiss notice" onClick={() => send({ type: 'dismissNotice' })}>Dismiss</button>
          </div>
        )}
      </div>
      <OperationAnnouncer snapshot={snapshot} />
    </>
  );
}

function OperationAnnouncer({ snapshot }: { snapshot: Snapshot }) {
  const { operation } = snapshot;
  const [text, setText] = useState('');
  const previous = useRef({ active: false, title: '' });
  const name = snapshot.components.find((c) => c.id === operation.componentId)?.name ?? operation.componentId;
  useEffect(() => {
    const before = previous.current;
    if (operation.active && !before.active) {
      const title = operationTitle(operation.action, name);
      setText(`${title} started.`);
      previous.current = { active: true, title };
    } else if (!operation.active && before.active) {
      setText(`${before.title} ended.`);
      previous.current = { active: false, title: '' };
    }
  }, [operation.active, operation.action, name]);
  return <p className="visually-hidden" aria-live="polite">{text}</p>;
}
